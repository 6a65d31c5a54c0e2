#pragma once

#include <QByteArray>
#include <QList>
#include <QMarginsF>
#include <QPointF>
#include <QTransform>

class GPathItem;

// The plot data as it was first built (number arrays and a text stream), kept
// as the bytes the fast builder must give.
namespace reference {

QByteArray pltString(const GPathItem &item, const QTransform &t, const QMarginsF &margins, const QPointF &offset);
// Every item's pltString in order, through a text stream.
// The cut outlines of an HPGL file as they were first held: one GPathItem
// per polyline, origin (scene points) added to every point.
QList<GPathItem *> hpglItems(const QByteArray &data, const QPointF &origin);
QByteArray plotData(const QList<GPathItem *> &items, const QTransform &t, const QMarginsF &margins,
                    const QPointF &offset);

} // namespace reference
