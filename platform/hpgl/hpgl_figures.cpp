// The figures HP-GL draws whole: arcs and circles, rectangles, wedges,
// polygons and ticks, in user units turned into plotter units point by
// point (an anisotropic scale draws a circle as an ellipse, as a plotter
// does).
#include "platform/hpgl/hpgl_parser.h"

#include <QLineF>
#include <QtMath>

#include <algorithm>
#include <cmath>

void HpglParser::moveUser(const QList<QPointF> &userPoints)
{
    for (const QPointF &u : userPoints)
        lineTo(m_units.toPlotter(u));
}

void HpglParser::arcTo(const QPointF &centreUser, double sweepDeg, double chord)
{
    const QPointF start = m_units.toUser(m_pos);
    const double chordDeg = HpglShapes::chordAngle(chord, m_chordDeviation, QLineF(centreUser, start).length());
    moveUser(HpglShapes::arc(centreUser, start, sweepDeg, chordDeg));
}

void HpglParser::threePointArc(const QPointF &via, const QPointF &end, double chord)
{
    const QPointF start = m_units.toUser(m_pos);
    QPointF centre;
    double sweep = 360.0;
    if (start == end)
        centre = (start + via) / 2.0; // a whole circle through via
    else if (!HpglShapes::circleThrough(start, via, end, &centre, &sweep)) {
        moveUser({end}); // on one line: straight to the end
        return;
    }
    const double chordDeg = HpglShapes::chordAngle(chord, m_chordDeviation, QLineF(centre, start).length());
    moveUser(HpglShapes::arc(centre, start, sweep, chordDeg));
}

void HpglParser::circle(double radius, double chord)
{
    if (!(radius != 0.0))
        return;
    // Drawn pen down whatever the pen state, starting at 0 degrees (180 for
    // a negative radius), and the pen back at the centre in its old state.
    const QPointF centre = m_units.toUser(m_pos);
    const int steps =
        std::clamp(int(std::ceil(360.0 / HpglShapes::chordAngle(chord, m_chordDeviation, radius))), 3, kMaxArcPoints);
    const double r = std::abs(radius), from = radius < 0.0 ? M_PI : 0.0;
    QPolygonF ring;
    ring.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const double a = from + 2.0 * M_PI * i / steps;
        ring.append(clampPoint(m_units.toPlotter(centre + QPointF(r * std::cos(a), r * std::sin(a)))));
    }
    if (m_polygonMode) {
        closeSubPolygon();
        SubPolygon sub;
        sub.points = ring;
        sub.down = QList<bool>(ring.size() - 1, true);
        m_polygon.append(sub);
        m_polygon.append(SubPolygon{QPolygonF{m_pos}, {}});
        return;
    }
    shape({ring});
}

void HpglParser::rectangle(const QPointF &c1, bool fill)
{
    (void)fill; // a fill's outline is its edge
    const QPointF c0 = m_units.toUser(m_pos);
    if (c0 == c1)
        return;
    QPolygonF outline;
    for (const QPointF &u : {c0, QPointF(c1.x(), c0.y()), c1, QPointF(c0.x(), c1.y()), c0})
        outline.append(clampPoint(m_units.toPlotter(u)));
    m_polygon = {SubPolygon{outline, QList<bool>(4, true)}};
    shape({outline});
}

void HpglParser::wedge(double radius, double startDeg, double sweepDeg, double chord, bool fill)
{
    (void)fill;
    if (radius == 0.0 || !std::isfinite(startDeg) || !std::isfinite(sweepDeg))
        return;
    const QPointF centre = m_units.toUser(m_pos);
    if (radius < 0.0) {
        radius = -radius;
        startDeg += 180.0;
    }
    const double a = qDegreesToRadians(std::fmod(startDeg, 360.0));
    const QPointF first = centre + QPointF(radius * std::cos(a), radius * std::sin(a));
    const bool whole = std::abs(sweepDeg) >= 360.0; // a circle, no radii
    QPolygonF outline;
    outline.append(clampPoint(m_units.toPlotter(whole ? first : centre)));
    if (!whole)
        outline.append(clampPoint(m_units.toPlotter(first)));
    const double chordDeg = HpglShapes::chordAngle(chord, m_chordDeviation, radius);
    for (const QPointF &u : HpglShapes::arc(centre, first, whole ? 360.0 : sweepDeg, chordDeg))
        outline.append(clampPoint(m_units.toPlotter(u)));
    if (!whole)
        outline.append(outline.first());
    m_polygon = {SubPolygon{outline, QList<bool>(outline.size() - 1, true)}};
    shape({outline});
}

void HpglParser::closeSubPolygon()
{
    if (m_polygon.isEmpty())
        return;
    SubPolygon &sub = m_polygon.last();
    if (sub.points.size() < 2) {
        m_polygon.removeLast();
        return;
    }
    if (sub.points.last() != sub.points.first()) {
        sub.points.append(sub.points.first());
        sub.down.append(true);
    }
}

void HpglParser::polygonMode(int mode)
{
    if (mode == 0) {
        flush();
        m_polygonMode = true;
        m_polygon = {SubPolygon{QPolygonF{m_pos}, {}}};
        return;
    }
    if (!m_polygonMode)
        return;
    closeSubPolygon();
    if (mode == 1)
        m_polygon.append(SubPolygon{QPolygonF{m_pos}, {}});
    else
        m_polygonMode = false;
}

void HpglParser::polygon(bool fill)
{
    if (m_polygonMode)
        return; // not in polygon mode, as on a plotter
    QList<QPolygonF> outlines;
    for (const SubPolygon &sub : m_polygon) {
        if (sub.points.size() < 2)
            continue;
        if (fill || !sub.down.contains(false)) {
            outlines.append(sub.points);
            continue;
        }
        // Edged: what was drawn with the pen down.
        QPolygonF run;
        for (qsizetype i = 1; i < sub.points.size(); ++i) {
            if (!sub.down[i - 1]) {
                if (run.size() >= 2)
                    outlines.append(run);
                run.clear();
                continue;
            }
            if (run.isEmpty())
                run.append(sub.points[i - 1]);
            run.append(sub.points[i]);
        }
        if (run.size() >= 2)
            outlines.append(run);
    }
    shape(outlines);
}

void HpglParser::tick(bool vertical)
{
    // A tick across the axis, a share of P1-P2 to either side.
    const QPointF span = m_units.span();
    const double length = std::abs(vertical ? span.y() : span.x());
    const QPointF axis = m_units.axis(vertical);
    flush();
    m_lastShape.clear();
    deliver(QPolygonF{clampPoint(m_pos - axis * (length * m_tickMinus / 100.0)),
                      clampPoint(m_pos + axis * (length * m_tickPlus / 100.0))});
}
