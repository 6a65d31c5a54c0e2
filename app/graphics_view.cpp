#include "app/graphics_view.h"

#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

GraphicsView::GraphicsView(QWidget *parent)
    : QGraphicsView(parent)
{
    rotate(-90.0);
    setBackgroundBrush(QBrush(Qt::gray));
}

GraphicsView::~GraphicsView() = default;

void GraphicsView::fitPage()
{
    auto *gs = qobject_cast<GScene *>(scene());
    if (!gs || isEnabled())
        return;
    // Fitted, the whole page is in sight. Scroll bars shown as needed would
    // come and go with each fit, each time resizing the view, which fits
    // again: an endless round of resizes at some sizes.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QRectF r = gs->page()->fullRectPoints();
    fitInView(QRectF(r.x() - 10, r.y() - 10, r.width() + 20, r.height() + 20), Qt::KeepAspectRatio);
}

void GraphicsView::changeEvent(QEvent *event)
{
    QGraphicsView::changeEvent(event);
    // Enabled, the view keeps zoom and position: the page may need scrolling.
    if (event->type() == QEvent::EnabledChange && isEnabled()) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
}

void GraphicsView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    fitPage();
}

void GraphicsView::drawBackground(QPainter *painter, const QRectF &rect)
{
    painter->fillRect(rect, Qt::gray);
    painter->setRenderHint(QPainter::Antialiasing, true);
    double scale = GPathProcess::transformScale(transform());
    if (std::abs(scale) <= 1e-12)
        scale = 1.0;
    QPen pen(Qt::black, 1.2 / scale);
    painter->setPen(pen);
    auto *gs = qobject_cast<GScene *>(scene());
    if (!gs)
        return;
    if (!gs->items().isEmpty())
        painter->fillRect(gs->page()->fullRectPoints(), Qt::white);
    if (gs->showMargin()) {
        pen.setStyle(Qt::DashDotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(gs->page()->paintRectPoints());
    }
}
