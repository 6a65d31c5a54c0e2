#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QTransform>

#include <mutex>

// Printed pages laid on the simulator's web: each page image (as the printer
// got it) with where it landed, a map from page millimetres (x across, y
// along the page) to the web's plotter units (x along the feed, y across,
// 40 per mm). The mark camera's picture is drawn from them, seen from where
// the web model says the camera stands, at 40 pixels per mm: a point ahead of
// the camera (larger x) shows above the picture's centre, one to the left
// (larger y) left of it.
class PrintedWeb
{
public:
    struct Page
    {
        QImage image;
        QSizeF mm;
        QTransform toWeb; // page mm -> web plotter units
    };

    // A page placed along the web at `along` (plotter units of its top
    // edge), turned by `degrees` about its first mark at markMm, scaled by
    // (scaleAlong, scaleAcross) there and shifted by `shift` (plotter units):
    // the known distortion of that page.
    static QTransform placement(double along, const QPointF &markMm, double degrees, double scaleAlong,
                                double scaleAcross, const QPointF &shift);

    void addPage(const QImage &image, const QSizeF &mm, const QTransform &toWeb);
    QList<Page> pages() const;
    void clear();
    int pageCount() const;
    // Where a point of page i (mm) lies on the web.
    QPointF onWeb(int page, const QPointF &mm) const;

    // The mark camera's picture with its centre at camera (plotter units).
    QImage markPicture(const QPointF &camera, const QSize &size) const;

private:
    mutable std::mutex m_lock;
    QList<Page> m_pages;
};
