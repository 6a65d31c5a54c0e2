#include "platform/scene/gpath_process.h"

#include <QLineF>
#include <QtMath>

#include <cmath>

namespace {

constexpr double kPointPerHpgl = GPathProcess::kPointPerMm / GPathProcess::kHpglPerMm;

double scaled(double v, double f) { return v * f; }
QPointF scaled(const QPointF &v, double f) { return v * f; }
QSizeF scaled(const QSizeF &v, double f) { return v * f; }
QRectF scaled(const QRectF &v, double f) { return {v.topLeft() * f, v.size() * f}; }
QMarginsF scaled(const QMarginsF &v, double f) { return v * f; }
QPolygonF scaled(const QPolygonF &v, double f)
{
    QPolygonF out;
    out.reserve(v.size());
    for (const QPointF &p : v)
        out.append(p * f);
    return out;
}

} // namespace

#define GPATHPROCESS_DEFINE(name, factor)                                                                  \
    double GPathProcess::name(double v) { return scaled(v, factor); }                                      \
    QPointF GPathProcess::name(const QPointF &v) { return scaled(v, factor); }                             \
    QSizeF GPathProcess::name(const QSizeF &v) { return scaled(v, factor); }                               \
    QRectF GPathProcess::name(const QRectF &v) { return scaled(v, factor); }                               \
    QMarginsF GPathProcess::name(const QMarginsF &v) { return scaled(v, factor); }                         \
    QPolygonF GPathProcess::name(const QPolygonF &v) { return scaled(v, factor); }

GPATHPROCESS_DEFINE(mm2Point, kPointPerMm)
GPATHPROCESS_DEFINE(point2Mm, 1.0 / kPointPerMm)
GPATHPROCESS_DEFINE(hpgl2Point, kPointPerHpgl)
GPATHPROCESS_DEFINE(hpgl2Mm, 1.0 / kHpglPerMm)
GPATHPROCESS_DEFINE(mm2Hpgl, kHpglPerMm)
GPATHPROCESS_DEFINE(point2Hpgl, 1.0 / kPointPerHpgl)
#undef GPATHPROCESS_DEFINE

QPointF GPathProcess::hpglToScene(const QPointF &hpgl)
{
    return hpgl2Point(QPointF(hpgl.y(), hpgl.x()));
}

QPointF GPathProcess::sceneToHpgl(const QPointF &point)
{
    return point2Hpgl(QPointF(point.y(), point.x()));
}

QRectF GPathProcess::createRectF(const QPointF &centre, double w, double h)
{
    return {centre.x() - w / 2.0, centre.y() - h / 2.0, w, h};
}

double GPathProcess::transformScale(const QTransform &t, double *sx, double *sy)
{
    const double x = std::hypot(t.m11(), t.m12());
    const double y = std::hypot(t.m21(), t.m22());
    if (sx)
        *sx = x;
    if (sy)
        *sy = y;
    return std::max(x, y);
}

QPainterPath GPathProcess::closeCompensatePath(const QPainterPath &path, double overlap)
{
    if (!(overlap > 0.0))
        return path;
    QPainterPath out;
    for (QPolygonF poly : path.toSubpathPolygons()) {
        const bool closed = poly.size() > 2 && poly.isClosed();
        if (closed) {
            // Walk the start of the outline again for `overlap`.
            double left = overlap;
            for (int i = 1; i < poly.size() && left > 0.0; ++i) {
                const QLineF seg(poly[i - 1], poly[i]);
                const double len = seg.length();
                if (len <= 0.0)
                    continue;
                if (len >= left) {
                    poly.append(seg.pointAt(left / len));
                    left = 0.0;
                } else {
                    poly.append(poly[i]);
                    left -= len;
                }
            }
        }
        out.addPolygon(poly);
    }
    return out;
}

QPainterPath GPathProcess::knifeCompensatePath(const QPainterPath &path, double offset, double toolUpAngle)
{
    if (!(offset > 0.0))
        return path;
    QPainterPath out;
    for (const QPolygonF &poly : path.toSubpathPolygons()) {
        QPolygonF pts;
        for (const QPointF &p : poly)
            if (pts.isEmpty() || QLineF(pts.last(), p).length() > 1e-9)
                pts.append(p);
        if (pts.size() < 2) {
            out.addPolygon(poly);
            continue;
        }
        QPolygonF res;
        res.append(pts.first());
        for (int i = 1; i < pts.size(); ++i) {
            QLineF seg(pts[i - 1], pts[i]);
            const QPointF over = pts[i] + (seg.p2() - seg.p1()) / seg.length() * offset;
            res.append(over);
            if (i + 1 >= pts.size())
                break;
            const QLineF next(pts[i], pts[i + 1]);
            double turn = seg.angleTo(next); // degrees, counter-clockwise
            if (turn > 180.0)
                turn -= 360.0;
            if (std::abs(turn) <= toolUpAngle || std::abs(turn) < 1e-6)
                continue;
            // Swivel around the vertex from the old direction to the new one.
            const double a0 = std::atan2(over.y() - pts[i].y(), over.x() - pts[i].x());
            const double sweep = -qDegreesToRadians(turn); // QLineF angles run against y-down
            const int steps = std::max(2, int(std::ceil(std::abs(turn) / 10.0)));
            for (int k = 1; k <= steps; ++k) {
                const double a = a0 + sweep * k / steps;
                res.append(pts[i] + QPointF(std::cos(a), std::sin(a)) * offset);
            }
        }
        out.addPolygon(res);
    }
    return out;
}
