#include "tests/support/printed_web.h"

#include <QPainter>

namespace {
constexpr double kUnitsPerMm = 40.0;
// The paper between and beside the pages, and outside the web.
constexpr int kPaper = 235;
} // namespace

QTransform PrintedWeb::placement(double along, const QPointF &markMm, double degrees, double scaleAlong,
                                 double scaleAcross, const QPointF &shift)
{
    // Page mm to web: y (along the page) becomes x (along the feed).
    const QTransform base(0, kUnitsPerMm, kUnitsPerMm, 0, along, 0);
    const QPointF mark = base.map(markMm);
    QTransform distortion;
    distortion.translate(mark.x() + shift.x(), mark.y() + shift.y());
    distortion.rotate(degrees);
    distortion.scale(scaleAlong, scaleAcross);
    distortion.translate(-mark.x(), -mark.y());
    return base * distortion;
}

void PrintedWeb::addPage(const QImage &image, const QSizeF &mm, const QTransform &toWeb)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages.append(Page{image, mm, toWeb});
}

QList<PrintedWeb::Page> PrintedWeb::pages() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pages;
}

void PrintedWeb::clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pages.clear();
}

int PrintedWeb::pageCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_pages.size());
}

QPointF PrintedWeb::onWeb(int page, const QPointF &mm) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return page >= 0 && page < m_pages.size() ? m_pages.at(page).toWeb.map(mm) : QPointF();
}

QImage PrintedWeb::markPicture(const QPointF &camera, const QSize &size) const
{
    QImage picture(size, QImage::Format_RGB888);
    picture.fill(QColor(kPaper, kPaper, kPaper));
    // Web to picture: both axes turned about the camera centre.
    const QTransform webToPicture(0, -1, -1, 0, size.width() / 2.0 + camera.y(), size.height() / 2.0 + camera.x());
    const QRectF view(QPointF(0, 0), QSizeF(size));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    std::lock_guard<std::mutex> lock(m_lock);
    for (const Page &page : m_pages) {
        if (page.image.isNull() || page.mm.isEmpty())
            continue;
        const QTransform pixelToMm
            = QTransform::fromScale(page.mm.width() / page.image.width(), page.mm.height() / page.image.height());
        const QTransform all = pixelToMm * page.toWeb * webToPicture;
        const QRectF seen = all.mapRect(QRectF(page.image.rect()));
        if (!seen.intersects(view))
            continue;
        // Only the part of the page in view is scaled up.
        const QRect part = all.inverted().mapRect(view).toAlignedRect().adjusted(-2, -2, 2, 2)
                               .intersected(page.image.rect());
        if (part.isEmpty())
            continue;
        painter.setTransform(QTransform::fromTranslate(part.x(), part.y()) * all);
        painter.drawImage(QPointF(0, 0), page.image.copy(part));
    }
    return picture;
}
