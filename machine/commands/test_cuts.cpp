#include "machine/commands/test_cuts.h"

#include "machine/state/device_state.h"
#include "platform/scene/gpath_process.h"
#include "settings/config.h"

#include <QDebug>
#include <QPainterPath>

#include <cmath>

namespace {

QPolygonF hpglPolygon(std::initializer_list<QPointF> points)
{
    QPolygonF poly;
    for (const QPointF &p : points)
        poly << GPathProcess::hpgl2Point(p);
    return poly;
}

QByteArray hpglNumber(double v)
{
    // Half away from zero, as the cutter expects for negative coordinates too.
    return QByteArray::number(qint64(std::llround(v)));
}

QByteArray hpglPair(const QPointF &point)
{
    const QPointF p = GPathProcess::point2Hpgl(point);
    return hpglNumber(p.x()) + ',' + hpglNumber(p.y());
}

} // namespace

TestCuts::TestCuts(DeviceState &state, StartCut startCut)
    : m_state(state)
    , m_startCut(std::move(startCut))
{
}

bool TestCuts::cut100mmRect()
{
    return m_startCut(QByteArrayLiteral("PU0,0;PD0,4000,4000,4000,4000,0,0,0;PU;PG;"));
}

QByteArray TestCuts::pressureTestPattern(int count, const Config *config)
{
    const QPolygonF triangle = hpglPolygon({{617, 400}, {617, 137}, {400, 269}, {183, 400}, {400, 531}, {617, 663},
                                            {617, 400}});
    const QPolygonF square = hpglPolygon({{800, 400}, {800, 0}, {0, 0}, {0, 800}, {800, 800}, {800, 400}});

    QPointF p = GPathProcess::mm2Point(
        config ? QPointF(-config->markCameraOffsetX(), -config->markCameraOffsetY()) : QPointF());
    QPoint end(0, 1200);
    if (count > 0) {
        // Each further pattern is cut 100 mm beside the previous one.
        p.rx() += GPathProcess::mm2Point(100.0);
        end = count == 5 ? QPoint(1200, -4800) : QPoint(0, 1200);
    } else {
        end.setX(int(GPathProcess::mm2Hpgl(100.0)));
    }

    QPainterPath path;
    path.addPolygon(triangle.translated(-p));
    path.addPolygon(square.translated(-p));
    if (config && config->closeCompensate())
        path = GPathProcess::closeCompensatePath(path, GPathProcess::mm2Point(config->closeCompensateVal()));
    if (config && config->knifeCompensate())
        path = GPathProcess::knifeCompensatePath(path, GPathProcess::mm2Point(config->knifeCompensateVal()), 0);

    QByteArray hpgl("IN;PA;");
    for (const QPolygonF &poly : path.toSubpathPolygons()) {
        hpgl += "SP2;";
        if (poly.isEmpty())
            continue;
        hpgl += "PU" + hpglPair(poly.first()) + ';';
        if (poly.size() > 1) {
            hpgl += "PD";
            for (int i = 1; i < poly.size(); ++i)
                hpgl += hpglPair(poly.at(i)) + ',';
            hpgl.chop(1);
            hpgl += ";PU0,0;!PG;";
        }
    }
    hpgl += "PU" + QByteArray::number(end.x()) + ',' + QByteArray::number(end.y()) + ";!PG;";
    return hpgl;
}

bool TestCuts::testPressure(const Config *config)
{
    const int count = m_state.pressureTestCount.load();
    if (!m_startCut(pressureTestPattern(count, config)))
        return false;
    int next = count == 0 ? 2 : count + 1;
    if (next > 5)
        next = 1;
    m_state.pressureTestCount.store(next);
    qDebug() << "TRV610Plus::testPressure" << "pattern" << count << "started";
    return true;
}
