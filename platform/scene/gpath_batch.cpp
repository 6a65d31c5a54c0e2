#include "platform/scene/gpath_batch.h"

#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"

#include <QPainter>

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstring>

GPathBatch::GPathBatch(QGraphicsItem *parent)
    : QGraphicsItem(parent)
{
}

GPathBatch::~GPathBatch()
{
    if (m_pages)
        munmap(m_pages, m_pageBytes);
}

void GPathBatch::append(int pen, const QPolygonF &hpgl)
{
    if (!m_double) {
        bool exact = true;
        for (const QPointF &p : hpgl)
            exact = exact && double(float(p.x())) == p.x() && double(float(p.y())) == p.y();
        if (!exact) {
            // A coordinate a float would round: the whole batch in doubles.
            m_xyd.assign(m_xy.begin(), m_xy.end());
            std::vector<float>().swap(m_xy);
            m_double = true;
        }
    }
    for (const QPointF &p : hpgl) {
        if (m_double) {
            m_xyd.push_back(p.x());
            m_xyd.push_back(p.y());
        } else {
            m_xy.push_back(float(p.x()));
            m_xy.push_back(float(p.y()));
        }
    }
    m_start.push_back(m_start.back() + uint32_t(hpgl.size()));
    m_pens.push_back(pen);
    m_count = int(m_pens.size());
}

QRectF GPathBatch::finish(const QPointF &origin)
{
    m_origin = origin;
    const size_t head = m_start.size() * sizeof(uint32_t) + m_pens.size() * sizeof(int);
    const size_t at = (head + 7) & ~size_t(7);
    const size_t points = m_double ? m_xyd.size() * sizeof(double) : m_xy.size() * sizeof(float);
    m_pageBytes = at + points;
    void *pages = mmap(nullptr, m_pageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages != MAP_FAILED) {
        auto *bytes = static_cast<char *>(pages);
        std::memcpy(bytes, m_start.data(), m_start.size() * sizeof(uint32_t));
        std::memcpy(bytes + m_start.size() * sizeof(uint32_t), m_pens.data(), m_pens.size() * sizeof(int));
        std::memcpy(bytes + at, m_double ? static_cast<const void *>(m_xyd.data()) : m_xy.data(), points);
        m_pages = pages;
        m_first = reinterpret_cast<const uint32_t *>(bytes);
        m_pen = reinterpret_cast<const int *>(bytes + m_start.size() * sizeof(uint32_t));
        m_xyf = reinterpret_cast<const float *>(bytes + at);
        m_xydp = reinterpret_cast<const double *>(bytes + at);
        std::vector<float>().swap(m_xy);
        std::vector<double>().swap(m_xyd);
        std::vector<uint32_t>().swap(m_start);
        std::vector<int>().swap(m_pens);
    } else {
        m_pageBytes = 0;
        m_first = m_start.data();
        m_pen = m_pens.data();
        m_xyf = m_xy.data();
        m_xydp = m_xyd.data();
    }
    QRectF all;
    for (int i = 0; i < count(); ++i) {
        const size_t from = m_first[i], to = m_first[i + 1];
        if (from == to)
            continue;
        QPointF lo = scenePoint(from), hi = lo;
        for (size_t k = from + 1; k < to; ++k) {
            const QPointF p = scenePoint(k);
            lo = QPointF(std::min(lo.x(), p.x()), std::min(lo.y(), p.y()));
            hi = QPointF(std::max(hi.x(), p.x()), std::max(hi.y(), p.y()));
        }
        const QRectF r(lo.x(), lo.y(), hi.x() - lo.x(), hi.y() - lo.y());
        all = all.united(r);
    }
    prepareGeometryChange();
    m_bounds = all.adjusted(-1, -1, 1, 1); // room for the cosmetic pen
    return all;
}

QPointF GPathBatch::scenePoint(size_t k) const
{
    const QPointF hpgl = !m_double ? QPointF(double(m_xyf[2 * k]), double(m_xyf[2 * k + 1]))
                                   : QPointF(m_xydp[2 * k], m_xydp[2 * k + 1]);
    return GPathProcess::hpglToScene(hpgl) + m_origin;
}

void GPathBatch::polygon(int i, QPolygonF &out) const
{
    const size_t from = m_first[i], to = m_first[i + 1];
    out.resize(qsizetype(to - from));
    QPointF *p = out.data();
    for (size_t k = from; k < to; ++k)
        *p++ = scenePoint(k);
}

QPolygonF GPathBatch::polygon(int i) const
{
    QPolygonF out;
    polygon(i, out);
    return out;
}

QPainterPath GPathBatch::path(int i) const
{
    QPainterPath p;
    p.addPolygon(polygon(i));
    return p;
}

QPointF GPathBatch::startPoint(int i) const
{
    const size_t from = m_first[i], to = m_first[i + 1];
    return mapToScene(from == to ? QPointF() : scenePoint(from));
}

QPointF GPathBatch::endPoint(int i) const
{
    const size_t from = m_first[i], to = m_first[i + 1];
    return mapToScene(from == to ? QPointF() : scenePoint(to - 1));
}

QRectF GPathBatch::sceneBounds(int i) const
{
    return sceneTransform().mapRect(polygon(i).boundingRect());
}

const GSp *GPathBatch::pen(int i) const
{
    auto *gs = qobject_cast<GScene *>(scene());
    return gs ? gs->sp(m_pen[i]) : nullptr;
}

void GPathBatch::appendHpgl(QByteArray &out, int i, const QTransform &t, const QMarginsF &margins,
                            const QPointF &offset, bool compensate) const
{
    const GSp *sp = compensate ? pen(i) : nullptr;
    if (sp && (sp->testGSpFlag(GSp::CloseCompensate) || sp->testGSpFlag(GSp::KnifeCompensate))) {
        const QList<QPolygonF> polygons = GPathItem::compensated(path(i), sp).toSubpathPolygons();
        GPathItem::appendHpglPolygons(out, penIndex(i), polygons.constData(), polygons.size(), sceneTransform(), t,
                                      margins, offset);
        return;
    }
    // The outline's own points: what its path would give back.
    thread_local QPolygonF poly;
    polygon(i, poly);
    GPathItem::appendHpglPolygons(out, penIndex(i), &poly, 1, sceneTransform(), t, margins, offset);
}

void GPathBatch::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    auto *gs = qobject_cast<GScene *>(scene());
    QPolygonF poly;
    int drawn = -1;
    for (int i = 0; i < count(); ++i) {
        if (m_pen[i] != drawn) {
            drawn = m_pen[i];
            const GSp *sp = gs ? gs->sp(std::max(1, drawn)) : nullptr;
            painter->setPen(QPen(sp ? sp->color() : QColor(Qt::black), 0));
        }
        polygon(i, poly);
        painter->drawPolyline(poly);
    }
}

int GCutPath::penIndex() const
{
    return index < 0 ? static_cast<const GPathItem *>(item)->penIndex()
                     : static_cast<const GPathBatch *>(item)->penIndex(index);
}

QPointF GCutPath::startPoint() const
{
    return index < 0 ? static_cast<const GPathItem *>(item)->startPoint()
                     : static_cast<const GPathBatch *>(item)->startPoint(index);
}

QPointF GCutPath::endPoint() const
{
    return index < 0 ? static_cast<const GPathItem *>(item)->endPoint()
                     : static_cast<const GPathBatch *>(item)->endPoint(index);
}

QRectF GCutPath::sceneBounds() const
{
    return index < 0 ? item->sceneBoundingRect() : static_cast<const GPathBatch *>(item)->sceneBounds(index);
}

QPainterPath GCutPath::path() const
{
    return index < 0 ? static_cast<const GPathItem *>(item)->path()
                     : static_cast<const GPathBatch *>(item)->path(index);
}

QPainterPath GCutPath::scenePath() const
{
    return item->mapToScene(path());
}

void GCutPath::appendHpgl(QByteArray &out, const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                          bool compensate) const
{
    if (index < 0)
        static_cast<const GPathItem *>(item)->appendHpgl(out, t, margins, offset, compensate);
    else
        static_cast<const GPathBatch *>(item)->appendHpgl(out, index, t, margins, offset, compensate);
}

std::vector<GCutPath> GCutPath::of(const QList<QGraphicsItem *> &items)
{
    std::vector<GCutPath> out;
    size_t n = 0;
    for (QGraphicsItem *item : items)
        n += item && item->type() == GPathBatch::Type ? size_t(static_cast<GPathBatch *>(item)->count()) : 1;
    out.reserve(n);
    for (QGraphicsItem *item : items) {
        if (!item)
            continue;
        if (item->type() == GPathItem::Type)
            out.push_back({item, -1});
        else if (item->type() == GPathBatch::Type)
            for (int i = 0, c = static_cast<GPathBatch *>(item)->count(); i < c; ++i)
                out.push_back({item, i});
    }
    return out;
}
