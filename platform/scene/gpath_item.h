#pragma once

#include <QByteArray>
#include <QGraphicsPathItem>
#include <QMarginsF>
#include <QTransform>

class GSp;

// One cut outline. The path is in item coordinates (scene points); the item
// transform (for example the half turn of reversed cutting) applies on top.
class GPathItem : public QGraphicsPathItem
{
public:
    enum { Type = UserType + 1 };

    explicit GPathItem(const QPainterPath &path = QPainterPath(), int pen = 1, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }
    int penIndex() const { return m_pen; }
    void setPenIndex(int pen) { m_pen = pen; }

    // The item's HPGL for the cutter: the pen's close and knife compensation,
    // then scene coordinates less the (left, top) margins (the first mark is
    // the origin), axes swapped to the cutter's (X along the web), the page
    // transform T, the offset (points, cutter axes), plotter units rounded.
    QByteArray pltString(const QTransform &t, const QMarginsF &margins, const QPointF &offset) const;
    // The same without the pen's compensation: the geometry as designed.
    QByteArray hpglString(const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                          bool compensate) const;
    // pltString appended to out (the plot data of many items in one buffer).
    void appendPltString(QByteArray &out, const QTransform &t, const QMarginsF &margins,
                         const QPointF &offset) const;

    // First and last point in scene coordinates, for the cutting order.
    QPointF startPoint() const;
    QPointF endPoint() const;

    // path as the cutter gets it: pen's close and knife compensation applied.
    static QPainterPath compensated(const QPainterPath &path, const GSp *pen);
    // The HPGL of one outline of pen `pen` made of polygons (item
    // coordinates, toScene on top); see pltString. Shared with GPathBatch.
    static void appendHpglPolygons(QByteArray &out, int pen, const QPolygonF *polygons, qsizetype count,
                                   const QTransform &toScene, const QTransform &t, const QMarginsF &margins,
                                   const QPointF &offset);

    // pltString (compensate) or hpglString appended to out.
    void appendHpgl(QByteArray &out, const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                    bool compensate) const;

private:
    const GSp *pen() const;
    int m_pen;
};
