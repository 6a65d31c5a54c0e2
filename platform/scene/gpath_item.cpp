#include "platform/scene/gpath_item.h"

#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"

#include <QtMath>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// Half away from zero, as the cutter expects for negative coordinates too.
qint64 roundHpgl(double v)
{
    return qint64(std::llround(v));
}
} // namespace

GPathItem::GPathItem(const QPainterPath &path, int pen, QGraphicsItem *parent)
    : QGraphicsPathItem(path, parent)
    , m_pen(pen)
{
}

const GSp *GPathItem::pen() const
{
    auto *gs = qobject_cast<GScene *>(scene());
    return gs ? gs->sp(m_pen) : nullptr;
}

QByteArray GPathItem::pltString(const QTransform &t, const QMarginsF &margins, const QPointF &offset) const
{
    return hpglString(t, margins, offset, true);
}

QByteArray GPathItem::hpglString(const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                                 bool compensate) const
{
    QByteArray out;
    appendHpgl(out, t, margins, offset, compensate);
    return out;
}

void GPathItem::appendPltString(QByteArray &out, const QTransform &t, const QMarginsF &margins,
                                const QPointF &offset) const
{
    appendHpgl(out, t, margins, offset, true);
}

QPainterPath GPathItem::compensated(const QPainterPath &path, const GSp *sp)
{
    QPainterPath p = path;
    if (sp) {
        if (sp->testGSpFlag(GSp::CloseCompensate))
            p = GPathProcess::closeCompensatePath(p, sp->closeCompensate());
        if (sp->testGSpFlag(GSp::KnifeCompensate))
            p = GPathProcess::knifeCompensatePath(p, sp->knifeCompensate(), sp->toolUpAngle());
    }
    return p;
}

void GPathItem::appendHpgl(QByteArray &out, const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                           bool compensate) const
{
    const QList<QPolygonF> polygons = (compensate ? compensated(path(), pen()) : path()).toSubpathPolygons();
    appendHpglPolygons(out, m_pen, polygons.constData(), polygons.size(), sceneTransform(), t, margins, offset);
}

void GPathItem::appendHpglPolygons(QByteArray &out, int pen, const QPolygonF *polygons, qsizetype count,
                                   const QTransform &toScene, const QTransform &t, const QMarginsF &margins,
                                   const QPointF &offset)
{
    const QPointF origin(margins.left(), margins.top());
    // One reservation per item: a point takes at most two 20-digit numbers
    // and two separators; growth doubles, so appending items stays linear.
    // The text is then written straight into the reserved bytes.
    qsizetype points = 0;
    for (qsizetype i = 0; i < count; ++i)
        points += polygons[i].size();
    const qsizetype start = out.size();
    const qsizetype needed = start + 16 + points * 44 + count * 8;
    if (out.capacity() < needed)
        out.reserve(std::max(needed, out.capacity() * 2));
    out.resize(needed);
    char *const begin = out.data();
    char *p = begin + start;
    char *const end = begin + needed;
    const auto number = [&p, end](qint64 v) { p = std::to_chars(p, end, v).ptr; };
    *p++ = 'S';
    *p++ = 'P';
    number(pen);
    *p++ = ';';
    for (qsizetype i = 0; i < count; ++i) {
        const QPolygonF &poly = polygons[i];
        if (poly.size() < 2)
            continue; // a lone point would only pierce the web
        bool first = true;
        for (const QPointF &pt : poly) {
            const QPointF rel = toScene.map(pt) - origin;
            const QPointF cut = GPathProcess::point2Hpgl(t.map(QPointF(rel.y(), rel.x())) + offset);
            if (first) {
                *p++ = 'P';
                *p++ = 'U';
                number(roundHpgl(cut.x()));
                *p++ = ',';
                number(roundHpgl(cut.y()));
                *p++ = ';';
                *p++ = 'P';
                *p++ = 'D';
                first = false;
            } else {
                number(roundHpgl(cut.x()));
                *p++ = ',';
                number(roundHpgl(cut.y()));
                *p++ = ',';
            }
        }
        if (p[-1] == ',')
            --p;
        *p++ = ';';
    }
    out.resize(p - begin);
}

QPointF GPathItem::startPoint() const
{
    const QPainterPath &p = path();
    return p.elementCount() ? mapToScene(QPointF(p.elementAt(0))) : mapToScene(QPointF());
}

QPointF GPathItem::endPoint() const
{
    const QPainterPath &p = path();
    return p.elementCount() ? mapToScene(QPointF(p.elementAt(p.elementCount() - 1))) : mapToScene(QPointF());
}
