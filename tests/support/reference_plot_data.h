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
QByteArray plotData(const QList<GPathItem *> &items, const QTransform &t, const QMarginsF &margins,
                    const QPointF &offset);

} // namespace reference
