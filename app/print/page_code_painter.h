#pragma once

#include "app/print/qr_painter.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

class GMarkItem;

// Where the page code goes beside the page's first mark, and its drawing
// on the page image: marker type 1 as the text "%08x", 2 as a QR symbol.
class PageCodePainter
{
public:
    static constexpr uint kText = 1;
    static constexpr uint kQr = 2;

    // In page millimetres; empty when nothing is to be drawn.
    static QRectF pageCodeRect(const GMarkItem *mark, uint markerType);
    static QString codeText(quint32 code);
    // Draws code into image, whose size covers pageMm; false when nothing
    // was drawn.
    bool draw(QImage &image, const QSizeF &pageMm, quint32 code, uint markerType, const QRectF &rectMm);

private:
    QrPainter m_qr;
};
