// The cutting order of GScene::sortCutItems.
#include "platform/scene/gscene.h"

#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"

#include <QLineF>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

struct Entry
{
    GCutPath path;
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
    return outer.path.scenePath().contains(inner.start);
}

} // namespace

QList<GPathItem *> GScene::sortCutItems(const QList<QGraphicsItem *> &list) const
{
    QList<GPathItem *> out;
    for (const GCutPath &path : cutOrder(list))
        if (path.index < 0)
            out.append(static_cast<GPathItem *>(path.item));
    return out;
}

void GScene::appendPlotData(QByteArray &out, const QList<QGraphicsItem *> &list, const QTransform &t,
                            const QMarginsF &margins, const QPointF &offset) const
{
    for (const GCutPath &path : cutOrder(list))
        path.appendHpgl(out, t, margins, offset, true);
}

std::vector<GCutPath> GScene::cutOrder(const QList<QGraphicsItem *> &list) const
{
    std::vector<GCutPath> paths = GCutPath::of(list);
    if (!m_sort)
        return paths;
    std::vector<Entry> entries;
    entries.reserve(paths.size());
    for (const GCutPath &path : paths)
        entries.push_back({path, path.startPoint(), path.sceneBounds(), path.penIndex()});
    std::vector<GCutPath> out;
    out.reserve(entries.size());
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
            out.push_back(e.path);
            here = e.path.endPoint();
            for (int j : e.around)
                entries[size_t(j)].pendingInside--;
        }
    }
    return out;
}
