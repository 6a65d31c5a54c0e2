#include "platform/scene/gpath_item.h"

#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"

#include <QtMath>

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
    QPainterPath p = path();
    if (compensate) {
        if (const GSp *sp = pen()) {
            if (sp->testGSpFlag(GSp::CloseCompensate))
                p = GPathProcess::closeCompensatePath(p, sp->closeCompensate());
            if (sp->testGSpFlag(GSp::KnifeCompensate))
                p = GPathProcess::knifeCompensatePath(p, sp->knifeCompensate(), sp->toolUpAngle());
        }
    }
    const QTransform toScene = sceneTransform();
    const QPointF origin(margins.left(), margins.top());
    QByteArray out;
    out.reserve(64);
    out += "SP" + QByteArray::number(m_pen) + ';';
    for (const QPolygonF &poly : p.toSubpathPolygons()) {
        if (poly.size() < 2)
            continue; // a lone point would only pierce the web
        bool first = true;
        for (const QPointF &pt : poly) {
            const QPointF rel = toScene.map(pt) - origin;
            const QPointF cut = GPathProcess::point2Hpgl(t.map(QPointF(rel.y(), rel.x())) + offset);
            if (first) {
                out += "PU" + QByteArray::number(roundHpgl(cut.x())) + ',' + QByteArray::number(roundHpgl(cut.y()))
                       + ";PD";
                first = false;
            } else {
                out += QByteArray::number(roundHpgl(cut.x())) + ',' + QByteArray::number(roundHpgl(cut.y())) + ',';
            }
        }
        if (out.endsWith(','))
            out.chop(1);
        out += ';';
    }
    return out;
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
