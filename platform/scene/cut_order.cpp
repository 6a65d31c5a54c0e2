// The cutting order of GScene::sortCutItems.
#include "platform/scene/gscene.h"

#include "platform/scene/gpath_item.h"

#include <QLineF>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

struct Entry
{
    GPathItem *item;
    QPointF start;
    QRectF bounds;
    int pen;
    int pendingInside = 0; // outlines inside this one not cut yet
    std::vector<int> around; // outlines this one lies inside
    bool done = false;
};

bool inside(const Entry &inner, const Entry &outer)
{
    if (&inner == &outer || !outer.bounds.contains(inner.bounds) || outer.bounds == inner.bounds)
        return false;
    return outer.item->mapToScene(outer.item->path()).contains(inner.start);
}

} // namespace

QList<GPathItem *> GScene::sortCutItems(const QList<QGraphicsItem *> &list) const
{
    std::vector<Entry> entries;
    entries.reserve(size_t(list.size()));
    for (QGraphicsItem *item : list)
        if (item && item->type() == GPathItem::Type) {
            auto *path = static_cast<GPathItem *>(item);
            entries.push_back({path, path->startPoint(), path->sceneBoundingRect(), path->penIndex()});
        }
    QList<GPathItem *> out;
    out.reserve(qsizetype(entries.size()));
    if (!m_sort) {
        for (const Entry &e : entries)
            out.append(e.item);
        return out;
    }
    if (m_sortInside) {
        for (size_t i = 0; i < entries.size(); ++i)
            for (size_t j = 0; j < entries.size(); ++j)
                if (i != j && inside(entries[i], entries[j])) {
                    entries[j].pendingInside++;
                    entries[i].around.push_back(int(j));
                }
    }
    // Pens in ascending order when grouping by pen, else all at once.
    std::vector<int> pens;
    if (m_sortSP) {
        for (const Entry &e : entries)
            pens.push_back(e.pen);
        std::sort(pens.begin(), pens.end());
        pens.erase(std::unique(pens.begin(), pens.end()), pens.end());
    } else {
        pens.push_back(std::numeric_limits<int>::min());
    }
    QPointF here(0, 0);
    for (int pen : pens) {
        for (;;) {
            int best = -1;
            double bestDist = std::numeric_limits<double>::max();
            bool blocked = false;
            for (size_t i = 0; i < entries.size(); ++i) {
                const Entry &e = entries[i];
                if (e.done || (m_sortSP && e.pen != pen))
                    continue;
                if (e.pendingInside > 0) {
                    blocked = true;
                    continue;
                }
                const QPointF d = e.start - here;
                const double dist = d.x() * d.x() + d.y() * d.y();
                if (dist < bestDist) {
                    bestDist = dist;
                    best = int(i);
                }
            }
            if (best < 0) {
                if (!blocked)
                    break;
                // Only outlines waiting on other pens' insides remain: take them in file order.
                for (Entry &e : entries)
                    if (!e.done && (!m_sortSP || e.pen == pen))
                        e.pendingInside = 0;
                continue;
            }
            Entry &e = entries[size_t(best)];
            e.done = true;
            out.append(e.item);
            here = e.item->endPoint();
            for (int j : e.around)
                entries[size_t(j)].pendingInside--;
        }
    }
    return out;
}
