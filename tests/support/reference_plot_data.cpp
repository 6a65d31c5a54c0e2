#include "tests/support/reference_plot_data.h"

#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"
#include "platform/hpgl/hpgl_parser.h"

#include <QPainterPath>

#include <QTextStream>

#include <cmath>

namespace reference {

namespace {
qint64 roundHpgl(double v)
{
    return qint64(std::llround(v));
}
} // namespace

QByteArray pltString(const GPathItem &item, const QTransform &t, const QMarginsF &margins, const QPointF &offset)
{
    QPainterPath p = item.path();
    auto *gs = qobject_cast<GScene *>(item.scene());
    if (const GSp *sp = gs ? gs->sp(item.penIndex()) : nullptr) {
        if (sp->testGSpFlag(GSp::CloseCompensate))
            p = GPathProcess::closeCompensatePath(p, sp->closeCompensate());
        if (sp->testGSpFlag(GSp::KnifeCompensate))
            p = GPathProcess::knifeCompensatePath(p, sp->knifeCompensate(), sp->toolUpAngle());
    }
    const QTransform toScene = item.sceneTransform();
    const QPointF origin(margins.left(), margins.top());
    QByteArray out;
    out.reserve(64);
    out += "SP" + QByteArray::number(item.penIndex()) + ';';
    for (const QPolygonF &poly : p.toSubpathPolygons()) {
        if (poly.size() < 2)
            continue;
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

QList<GPathItem *> hpglItems(const QByteArray &data, const QPointF &origin)
{
    HpglParser parser;
    QList<HpglParser::Polyline> lines;
    parser.parse(data, [&lines](const HpglParser::Polyline &l) { lines.append(l); });
    QList<GPathItem *> items;
    for (const HpglParser::Polyline &line : lines) {
        QPolygonF poly;
        for (const QPointF &p : line.points)
            poly.append(GPathProcess::hpglToScene(p) + origin);
        QPainterPath pp;
        pp.addPolygon(poly);
        items.append(new GPathItem(pp, line.pen > 0 ? line.pen : 1));
    }
    return items;
}

QByteArray plotData(const QList<GPathItem *> &items, const QTransform &t, const QMarginsF &margins,
                    const QPointF &offset)
{
    QByteArray data;
    QTextStream stream(&data);
    for (const GPathItem *item : items)
        stream << pltString(*item, t, margins, offset);
    stream.flush();
    return data;
}

} // namespace reference
