#pragma once

#include <QByteArray>
#include <QGraphicsItem>
#include <QMarginsF>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <cstdint>
#include <vector>

class GSp;

// Many cut outlines of a cut file in one item: each a pen and a polyline,
// held as the file's plotter coordinates in plain arrays (single floats
// while every coordinate fits one exactly, doubles otherwise) and turned into
// scene points when read, by the same arithmetic a GPathItem's path was
// built with. A scene of hundreds of thousands of small outlines then costs
// about what its file does, and adds, clears and draws as a few items.
class GPathBatch : public QGraphicsItem
{
public:
    enum { Type = UserType + 3 };
    // Outlines per batch: small enough to place one batch well inside a GUI
    // slice, large enough that a scene has few items.
    static constexpr int kPaths = 4096;

    explicit GPathBatch(QGraphicsItem *parent = nullptr);
    ~GPathBatch() override;

    int type() const override { return Type; }
    // Adds an outline in plotter units (X along the web).
    void append(int pen, const QPolygonF &hpgl);
    // Once the last outline is in: the origin (scene point of the cutter's
    // origin, known once the whole file is read), spare capacity freed.
    // Returns the union of the outlines' bounding rectangles (item
    // coordinates), each taken as QPolygonF::boundingRect gives it.
    QRectF finish(const QPointF &origin);

    int count() const { return m_count; }
    int penIndex(int i) const { return m_pen[i]; }
    // Outline i in item coordinates (scene points), and as a path.
    QPolygonF polygon(int i) const;
    void polygon(int i, QPolygonF &out) const;
    QPainterPath path(int i) const;
    QPointF startPoint(int i) const; // scene coordinates
    QPointF endPoint(int i) const;
    QRectF sceneBounds(int i) const;
    // The cutter's HPGL of outline i, as GPathItem::appendPltString and
    // GPathItem::hpglString give it.
    void appendHpgl(QByteArray &out, int i, const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                    bool compensate) const;
    QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QPointF scenePoint(size_t k) const;
    const GSp *pen(int i) const;

    QPointF m_origin;
    QRectF m_bounds;
    int m_count = 0;
    // While outlines are added: plotter x, y per point (floats while every
    // value fits one, doubles once one does not), the first point of each
    // outline (one past the last at the end), the pens.
    std::vector<float> m_xy;
    std::vector<double> m_xyd;
    bool m_double = false;
    std::vector<uint32_t> m_start{0};
    std::vector<int> m_pens;
    // Once finished, the same in pages of their own: freed whole when the
    // batch goes, never pinned by the reading's short-lived allocations.
    void *m_pages = nullptr;
    size_t m_pageBytes = 0;
    const uint32_t *m_first = nullptr;
    const int *m_pen = nullptr;
    const float *m_xyf = nullptr;
    const double *m_xydp = nullptr;
};

// A cut outline of a scene: a GPathItem (index -1) or outline `index` of a
// GPathBatch. What the cutting order, the plot data, the template and the
// cut files read.
struct GCutPath
{
    QGraphicsItem *item = nullptr;
    int index = -1;

    int penIndex() const;
    QPointF startPoint() const;
    QPointF endPoint() const;
    QRectF sceneBounds() const;
    // The outline in item coordinates, and in scene coordinates.
    QPainterPath path() const;
    QPainterPath scenePath() const;
    void appendHpgl(QByteArray &out, const QTransform &t, const QMarginsF &margins, const QPointF &offset,
                    bool compensate) const;
    bool operator==(const GCutPath &o) const { return item == o.item && index == o.index; }

    // The outlines of items (paths and batches; other items skipped), in order.
    static std::vector<GCutPath> of(const QList<QGraphicsItem *> &items);
};
