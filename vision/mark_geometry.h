#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QTransform>

// Plotter units per millimetre: machine positions, moves and plot data.
constexpr double kPlotterUnitsPerMm = 40.0;

// Offset of a found mark (centre p, diameter d in reduced pixels) from the
// reduced picture's centre, in plotter units. The mark's known size is the
// camera scale; the picture's vertical offset drives the feed axis X and its
// horizontal offset the Y axis. (0, 0) when d is not positive.
QPointF markOffsetFromCentre(const QPointF &p, double d, int cameraWidth, int cameraHeight,
                             double markSize);

// Where a mark really is: its design position plus the offset seen by the
// camera standing over that design position (both plotter units).
QPointF measuredMarkPoint(const QPointF &design, const QPointF &offset);

// Projective mapping of the design marks onto the measured ones; it exists
// only for exactly four marks of each, otherwise (or when the four are
// degenerate) the identity, and the page is cut as designed.
QTransform pageTransform(const QList<QPointF> &design, const QList<QPointF> &measured);

// How far a page transform departs from the design: rotation (degrees) and
// stretch over the page (mm).
struct PageFitCheck
{
    double angle = 0.0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double dtX = 0.0;
    double dtY = 0.0;
    bool withinLimits = true;
};
PageFitCheck checkPageFit(const QTransform &t, const QSizeF &pageMm);
