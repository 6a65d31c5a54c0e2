#pragma once

#include <QGraphicsItem>
#include <QMarginsF>

// The registration marks of a page. Geometry in millimetres as designed:
// margins() are in the form QRectF::adjusted takes (left, top, -right,
// -bottom), so the page rectangle adjusted by them is the rectangle of the
// mark centres; mark 1 sits at its top-left corner and is the cutter's origin.
class GMarkItem : public QGraphicsItem
{
public:
    enum { Type = UserType + 2 };
    enum MarkType { NoMark = 0, TwoMarks = 1, CrossHair = 3, FourMarks = 4, FourMarksAlt = 5 };

    GMarkItem(const QSizeF &pageMm, const QMarginsF &marginsMm, int markType, double markSizeMm,
              QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }
    QMarginsF margins() const { return m_margins; }
    int markType() const { return m_markType; }
    double markSize() const { return m_markSize; }
    QSizeF pageSize() const { return m_page; }

    // The mark rectangle (mark centres) in scene points.
    QRectF markRect() const;
    // The page-sized rectangle anchored at the first mark, in scene points:
    // the extent of the mark layer as designed. Turning the cut items about
    // its centre less the (left, top) margins, then moving them by the sum
    // of the margins, turns them about the mark rectangle's centre.
    QRectF srcRect() const;
    // The mark centres in scene points, in the order the cutter visits them.
    QList<QPointF> markCentres() const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QSizeF m_page;
    QMarginsF m_margins;
    int m_markType;
    double m_markSize;
};
