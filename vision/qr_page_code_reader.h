#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

#include <cstdint>

struct PageCodeRead
{
    QString text;            // data of the symbol reported, empty when none
    QString type;            // symbology name
    QList<QPointF> points;   // symbol outline in full-picture pixels
    uint32_t code = 0;       // the page code when text is one, else 0
};

// Reads the page code QR symbol of a mark-camera picture with ZBar. The
// decode is bounded: only QR is enabled, and the picture (or the region
// given) is reduced to at most kMaxDecodeSide pixels a side first, so a
// picture without a code costs little. Not thread-safe; one per thread.
class QrPageCodeReader
{
public:
    static constexpr int kMaxDecodeSide = 640;

    QrPageCodeReader();
    ~QrPageCodeReader();
    QrPageCodeReader(const QrPageCodeReader &) = delete;
    QrPageCodeReader &operator=(const QrPageCodeReader &) = delete;

    // region: where to look, in picture pixels; empty for the whole picture.
    // The first symbol holding a valid page code wins; without one, the first
    // symbol's text is reported with code 0. A picture that cannot be
    // decoded gives nothing (and a log line), never an exception.
    PageCodeRead read(const QImage &picture, const QRect &region = QRect());

private:
    PageCodeRead decode(const QImage &picture, const QRect &region);

    void *m_scanner = nullptr;
};

// Where the page code lies around a mark centred at (x, y) in full-picture
// pixels: it is printed beside the mark within markSize / 2 + 8 mm of its
// centre, in whatever direction the camera turns the page.
QRect pageCodeRegion(const QPointF &markCentre, double markSize, const QSize &pictureSize);
