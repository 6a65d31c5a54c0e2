#include "platform/scene/gpage.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_process.h"

#include <QPageSize>

GPage::GPage()
    : m_layout(makeLayout(QSizeF(210.0, 297.0)))
{
}

QPageLayout GPage::makeLayout(const QSizeF &sizeMm)
{
    QSizeF size = sizeMm;
    if (!(size.width() > 0.0) || !(size.height() > 0.0))
        size = QSizeF(210.0, 297.0);
    // ExactMatch keeps 105 x 148.2 mm from becoming A6.
    const QPageSize pageSize(size, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    QPageLayout layout(pageSize, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

void GPage::setSize(const QSizeF &sizeMm)
{
    m_layout = makeLayout(sizeMm);
}

void GPage::setMarkItem(GMarkItem *mark)
{
    m_mark = mark;
}

QRectF GPage::fullRectPoints() const
{
    // The layout's own point rectangle is rounded to whole points.
    return GPathProcess::mm2Point(m_layout.fullRect(QPageLayout::Millimeter));
}

QRectF GPage::paintRectPoints() const
{
    return m_mark ? m_mark->markRect() : fullRectPoints();
}
