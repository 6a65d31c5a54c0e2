#pragma once

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>

// The curves HP-GL draws, flattened into chords, and the soft-clip window.
namespace HpglShapes {

constexpr double kDefaultChordDeg = 5.0;
// Bound on the points one curve may produce, so a hostile radius or chord
// cannot eat the memory.
constexpr int kMaxArcPoints = 3600;

// The chord angle in degrees (0.5 to 180); deviation: the chord parameter
// is the largest distance from the arc (CT1), in the radius's units.
double chordAngle(double chord, bool deviation, double radius);

// Points of the arc from start round centre by sweep degrees (counter-
// clockwise when positive), the start left out.
QList<QPointF> arc(const QPointF &centre, const QPointF &start, double sweepDeg, double chordDeg);

// The circle through start, via and end: its centre and the sweep from
// start to end through via. False when the three points lie on a line.
bool circleThrough(const QPointF &start, const QPointF &via, const QPointF &end, QPointF *centre, double *sweepDeg);

// A cubic Bezier from p0 to p3, p0 left out.
QList<QPointF> bezier(const QPointF &p0, const QPointF &p1, const QPointF &p2, const QPointF &p3);

// The pieces of line that lie inside window.
QList<QPolygonF> clip(const QPolygonF &line, const QRectF &window);

} // namespace HpglShapes
