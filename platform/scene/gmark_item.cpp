#include "platform/scene/gmark_item.h"

#include "platform/scene/gpath_process.h"

#include <QPainter>

GMarkItem::GMarkItem(const QSizeF &pageMm, const QMarginsF &marginsMm, int markType, double markSizeMm,
                     QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , m_page(pageMm)
    , m_margins(marginsMm)
    , m_markType(markType)
    , m_markSize(markSizeMm)
{
}

QRectF GMarkItem::markRect() const
{
    const QRectF mm = QRectF(QPointF(0, 0), m_page)
                          .adjusted(m_margins.left(), m_margins.top(), m_margins.right(), m_margins.bottom());
    return GPathProcess::mm2Point(mm);
}

QRectF GMarkItem::srcRect() const
{
    return GPathProcess::mm2Point(QRectF(QPointF(m_margins.left(), m_margins.top()), m_page));
}

QList<QPointF> GMarkItem::markCentres() const
{
    const QRectF r = markRect();
    if (m_markType == NoMark)
        return {};
    if (m_markType == CrossHair)
        return {r.topLeft()};
    if (m_markType == FourMarks || m_markType == FourMarksAlt)
        return {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    return {r.topLeft(), r.topRight()};
}

QRectF GMarkItem::boundingRect() const
{
    const double d = GPathProcess::mm2Point(m_markSize) * 2.0;
    return markRect().adjusted(-d, -d, d, d);
}

void GMarkItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const double d = GPathProcess::mm2Point(m_markSize);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::black);
    if (m_markType == CrossHair) {
        const QPointF c = markRect().topLeft();
        painter->setPen(QPen(Qt::black, 0));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(GPathProcess::createRectF(c, d * 3.0, d * 3.0));
        painter->drawLine(c - QPointF(0, d * 1.5), c + QPointF(0, d * 1.5));
        painter->drawLine(c - QPointF(d * 1.5, 0), c + QPointF(d * 1.5, 0));
    } else {
        for (const QPointF &c : markCentres())
            painter->drawEllipse(GPathProcess::createRectF(c, d, d));
    }
    painter->restore();
}
