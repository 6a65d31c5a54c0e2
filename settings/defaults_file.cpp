#include "settings/defaults_file.h"

#include <QDebug>
#include <QSettings>

namespace {
// How long the end waits for saved defaults to reach the disk.
constexpr int kLastWriteMs = 5000;
} // namespace

DefaultsFile::DefaultsFile(const QString &path, SettingsFileWriter::Written told)
    : m_path(path)
    , m_told(std::move(told))
{
    // Kills during writes of an older run.
    SettingsFiles::removeLeftovers(path);
}

DefaultsFile::~DefaultsFile()
{
    SettingsFileWriter *writer = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        writer = m_unwritten.isEmpty() ? nullptr : m_writer.get();
    }
    if (writer)
        writer->flush(kLastWriteMs);
    m_writer.reset();
}

QMap<QString, QVariant> DefaultsFile::values() const
{
    QMap<QString, QVariant> all;
    {
        QSettings file(m_path, QSettings::IniFormat);
        for (const QString &key : file.allKeys())
            all.insert(key, file.value(key));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    all.insert(m_unwritten);
    return all;
}

quint64 DefaultsFile::save(const QMap<QString, QVariant> &values)
{
    SettingsFileWriter *writer = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            m_unwritten.insert(SettingsFiles::normalizedKey(it.key()), it.value());
        // Started at the first save: most runs never save the defaults.
        if (!m_writer)
            m_writer = std::make_unique<SettingsFileWriter>(
                m_path, [this](quint64) { return take(); },
                [this](quint64 id, bool onDisk, const SettingsFiles::Failure &failure) {
                    written(id, onDisk, failure);
                });
        writer = m_writer.get();
    }
    return writer->now();
}

SettingsFileWriter::Snapshot DefaultsFile::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inFlight = m_unwritten;
    SettingsFileWriter::Snapshot changes;
    changes.keys = m_unwritten;
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it)
        changes.changed.insert(it.key());
    return changes;
}

void DefaultsFile::written(quint64 id, bool onDisk, const SettingsFiles::Failure &failure)
{
    SettingsFileWriter *retry = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (onDisk) {
            // What was saved again meanwhile is still to write.
            for (auto it = m_inFlight.cbegin(); it != m_inFlight.cend(); ++it)
                if (m_unwritten.value(it.key()) == it.value())
                    m_unwritten.remove(it.key());
            if (std::exchange(m_failing, false))
                qInfo() << "Config::saveDefaultCfg" << m_path << "written again";
        } else {
            if (!std::exchange(m_failing, true))
                qCritical() << "Config::saveDefaultCfg" << "cannot write" << m_path << failure.why
                            << "- the saved defaults stay in use for this run, and it is tried again every second";
            retry = m_unwritten.isEmpty() ? nullptr : m_writer.get();
        }
        m_inFlight.clear();
    }
    if (retry)
        retry->soon();
    if (m_told)
        m_told(id, onDisk, failure);
}
