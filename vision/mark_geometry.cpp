#include "vision/mark_geometry.h"

#include <QPolygonF>

#include <cmath>

QPointF markOffsetFromCentre(const QPointF &p, double d, int cameraWidth, int cameraHeight,
                             double markSize)
{
    if (!(d > 0.0))
        return {};
    // The picture's centre, also between two pixels for an odd size.
    const double cw = cameraWidth / 2.0;
    const double ch = cameraHeight / 2.0;
    const double k = markSize / d * kPlotterUnitsPerMm;
    return {k * (ch - p.y()), k * (cw - p.x())};
}

QPointF measuredMarkPoint(const QPointF &design, const QPointF &offset)
{
    return design + offset;
}

QTransform pageTransform(const QList<QPointF> &design, const QList<QPointF> &measured)
{
    QTransform t;
    if (design.size() != 4 || measured.size() != 4)
        return t;
    if (!QTransform::quadToQuad(QPolygonF(design), QPolygonF(measured), t))
        return QTransform();
    return t;
}

PageFitCheck checkPageFit(const QTransform &t, const QSizeF &pageMm)
{
    PageFitCheck c;
    const QTransform inv = t.inverted();
    c.angle = std::atan2(inv.m21(), inv.m22()) * 180.0 / M_PI;
    QTransform r = t;
    r.rotate(-c.angle, Qt::ZAxis);
    c.scaleX = r.m11();
    c.scaleY = r.m22();
    c.dtX = pageMm.width() * (c.scaleX - 1.0);
    c.dtY = pageMm.height() * (c.scaleY - 1.0);
    c.withinLimits = std::abs(c.angle) <= 3.0 && std::abs(c.dtX) <= 5.0 && std::abs(c.dtY) <= 5.0;
    return c;
}
