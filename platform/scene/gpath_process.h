#pragma once

#include <QMarginsF>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// Unit conversions and path operations of the scene library. Scene units are
// points (72 per inch); cutter units are HPGL plotter units (40 per mm).
// HPGL X runs along the web, which is the scene's y axis: hpglToScene and
// sceneToHpgl swap the axes, the plain conversions only scale.
class GPathProcess
{
public:
    static constexpr double kHpglPerMm = 40.0;
    static constexpr double kPointPerMm = 72.0 / 25.4;

#define GPATHPROCESS_CONVERSIONS(name)                                                                     \
    static double name(double v);                                                                          \
    static QPointF name(const QPointF &v);                                                                 \
    static QSizeF name(const QSizeF &v);                                                                   \
    static QRectF name(const QRectF &v);                                                                   \
    static QMarginsF name(const QMarginsF &v);                                                             \
    static QPolygonF name(const QPolygonF &v);
    GPATHPROCESS_CONVERSIONS(mm2Point)
    GPATHPROCESS_CONVERSIONS(point2Mm)
    GPATHPROCESS_CONVERSIONS(hpgl2Point)
    GPATHPROCESS_CONVERSIONS(hpgl2Mm)
    GPATHPROCESS_CONVERSIONS(mm2Hpgl)
    GPATHPROCESS_CONVERSIONS(point2Hpgl)
#undef GPATHPROCESS_CONVERSIONS

    // Cutter point (plotter units, X along the web) to scene points, and back.
    static QPointF hpglToScene(const QPointF &hpgl);
    static QPointF sceneToHpgl(const QPointF &point);

    static QRectF createRectF(const QPointF &centre, double w, double h);
    // The scale of T along x and y, rotation ignored; returns the larger one.
    static double transformScale(const QTransform &t, double *sx = nullptr, double *sy = nullptr);

    // Drag-knife compensation: the blade trails its axis by offset, so every
    // segment is carried on by offset and each corner sharper than
    // toolUpAngle degrees gets an arc of radius offset around the vertex that
    // swivels the blade into the new direction.
    static QPainterPath knifeCompensatePath(const QPainterPath &path, double offset, double toolUpAngle = 0.0);
    // Overcut: every closed sub-path runs on along its start by overlap, so
    // the cut meets itself even with slack in the web.
    static QPainterPath closeCompensatePath(const QPainterPath &path, double overlap);
};
