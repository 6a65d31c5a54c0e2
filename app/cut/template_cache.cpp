#include "app/cut/template_cache.h"

#include "platform/scene/gscene.h"

#include <algorithm>

TemplateCache::TemplateCache() = default;
TemplateCache::~TemplateCache() = default;

TemplateCache::Entry *TemplateCache::find(const QString &path, bool reversed, const QByteArray &fileBytes)
{
    for (const std::unique_ptr<Entry> &e : m_entries) {
        if (e->path != path || e->reversed != reversed || e->fileBytes != fileBytes)
            continue;
        if (e->scene->gItemAll().size() != e->itemCount)
            continue;
        e->lastUse = ++m_uses;
        return e.get();
    }
    return nullptr;
}

TemplateCache::Entry *TemplateCache::insert(std::unique_ptr<Entry> entry, const GScene *shown)
{
    // A stale entry for the same file goes first, unless it is in sight.
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const std::unique_ptr<Entry> &e) {
                                       return e->path == entry->path && e->reversed == entry->reversed
                                           && e->scene.get() != shown;
                                   }),
                    m_entries.end());
    entry->lastUse = ++m_uses;
    Entry *added = entry.get();
    m_entries.push_back(std::move(entry));
    trim(added->scene.get(), shown);
    return added;
}

void TemplateCache::clear(const GScene *shown)
{
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [shown](const std::unique_ptr<Entry> &e) { return e->scene.get() != shown; }),
                    m_entries.end());
}

bool TemplateCache::holds(const GScene *scene) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [scene](const std::unique_ptr<Entry> &e) { return e->scene.get() == scene; });
}

qint64 TemplateCache::bytesOf(const Entry &e)
{
    return e.fileBytes.size() + e.showFile.size() + e.mask.sizeInBytes()
        + qint64(e.inspection.total() * e.inspection.elemSize());
}

void TemplateCache::trim(const GScene *keep, const GScene *shown)
{
    for (;;) {
        qint64 bytes = 0;
        for (const std::unique_ptr<Entry> &e : m_entries)
            bytes += bytesOf(*e);
        if (m_entries.size() <= kMaxEntries && bytes <= kMaxBytes)
            return;
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if ((*it)->scene.get() != keep && (*it)->scene.get() != shown
                && (oldest == m_entries.end() || (*it)->lastUse < (*oldest)->lastUse))
                oldest = it;
        if (oldest == m_entries.end())
            return;
        m_entries.erase(oldest);
    }
}
