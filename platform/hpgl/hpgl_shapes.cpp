#include "platform/hpgl/hpgl_shapes.h"

#include <QLineF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace HpglShapes {

double chordAngle(double chord, bool deviation, double radius)
{
    if (deviation) {
        radius = std::abs(radius);
        if (!(chord > 0.0) || !(radius > 0.0))
            return kDefaultChordDeg;
        chord = chord >= radius ? 180.0 : qRadiansToDegrees(2.0 * std::acos(1.0 - chord / radius));
    }
    if (!(chord > 0.0))
        return kDefaultChordDeg;
    return std::clamp(chord, 0.5, 180.0);
}

QList<QPointF> arc(const QPointF &centre, const QPointF &start, double sweepDeg, double chordDeg)
{
    QList<QPointF> points;
    const double radius = QLineF(centre, start).length();
    if (!(radius > 0.0) || !std::isfinite(radius) || !std::isfinite(sweepDeg) || sweepDeg == 0.0)
        return points;
    sweepDeg = std::clamp(sweepDeg, -360.0, 360.0);
    const double from = std::atan2(start.y() - centre.y(), start.x() - centre.x());
    const int steps = std::clamp(int(std::ceil(std::abs(sweepDeg) / chordDeg)), 1, kMaxArcPoints);
    const double step = qDegreesToRadians(sweepDeg) / steps;
    points.reserve(steps);
    for (int i = 1; i <= steps; ++i) {
        const double a = from + step * i;
        points.append(centre + QPointF(radius * std::cos(a), radius * std::sin(a)));
    }
    return points;
}

bool circleThrough(const QPointF &s, const QPointF &v, const QPointF &e, QPointF *centre, double *sweepDeg)
{
    const double d = 2.0 * (s.x() * (v.y() - e.y()) + v.x() * (e.y() - s.y()) + e.x() * (s.y() - v.y()));
    const double scale = std::max({std::abs(s.x()), std::abs(s.y()), std::abs(v.x()), std::abs(v.y()),
                                   std::abs(e.x()), std::abs(e.y()), 1.0});
    if (!(std::abs(d) > 1e-12 * scale * scale))
        return false;
    const auto sq = [](const QPointF &p) { return p.x() * p.x() + p.y() * p.y(); };
    const QPointF c((sq(s) * (v.y() - e.y()) + sq(v) * (e.y() - s.y()) + sq(e) * (s.y() - v.y())) / d,
                    (sq(s) * (e.x() - v.x()) + sq(v) * (s.x() - e.x()) + sq(e) * (v.x() - s.x())) / d);
    const auto angle = [&c](const QPointF &p) { return std::atan2(p.y() - c.y(), p.x() - c.x()); };
    const auto ccw = [](double from, double to) {
        double a = to - from;
        while (a < 0)
            a += 2.0 * M_PI;
        while (a >= 2.0 * M_PI)
            a -= 2.0 * M_PI;
        return a;
    };
    const double toEnd = ccw(angle(s), angle(e)), toVia = ccw(angle(s), angle(v));
    // Counter-clockwise when via comes first that way round, else clockwise;
    // an end on the start is a whole circle.
    double sweep = toEnd == 0.0 ? 2.0 * M_PI : toEnd;
    if (toVia > sweep)
        sweep -= 2.0 * M_PI;
    *centre = c;
    *sweepDeg = qRadiansToDegrees(sweep);
    return true;
}

QList<QPointF> bezier(const QPointF &p0, const QPointF &p1, const QPointF &p2, const QPointF &p3)
{
    // Chords of at most about a millimetre of the control polygon's length.
    const double length = QLineF(p0, p1).length() + QLineF(p1, p2).length() + QLineF(p2, p3).length();
    const int steps = std::isfinite(length) ? std::clamp(int(std::ceil(length / 40.0)), 8, 256) : 8;
    QList<QPointF> points;
    points.reserve(steps);
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1.0 - t;
        points.append(u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3);
    }
    return points;
}

QList<QPolygonF> clip(const QPolygonF &line, const QRectF &w)
{
    QList<QPolygonF> pieces;
    QPolygonF piece;
    const auto finish = [&] {
        if (piece.size() >= 2)
            pieces.append(piece);
        piece.clear();
    };
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        // Liang-Barsky on one segment.
        const QPointF a = line[i], b = line[i + 1];
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        double t0 = 0.0, t1 = 1.0;
        bool inside = true;
        const auto edge = [&](double p, double q) {
            if (p == 0.0) {
                if (q < 0.0)
                    inside = false;
                return;
            }
            const double r = q / p;
            if (p < 0.0)
                t0 = std::max(t0, r);
            else
                t1 = std::min(t1, r);
        };
        edge(-dx, a.x() - w.left());
        edge(dx, w.right() - a.x());
        edge(-dy, a.y() - w.top());
        edge(dy, w.bottom() - a.y());
        if (!inside || t0 > t1) {
            finish();
            continue;
        }
        const QPointF from = a + t0 * QPointF(dx, dy), to = a + t1 * QPointF(dx, dy);
        if (piece.isEmpty() || piece.last() != from) {
            finish();
            piece.append(from);
        }
        piece.append(to);
        if (t1 < 1.0)
            finish();
    }
    finish();
    return pieces;
}

} // namespace HpglShapes
