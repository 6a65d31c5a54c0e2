#include "app/print/qr_painter.h"

#include <QDebug>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

#include <zint.h>

QImage QrPainter::symbol() const
{
    std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> sym(ZBarcode_Create(), ZBarcode_Delete);
    if (!sym)
        return {};
    sym->symbology = kSymbology;
    sym->option_2 = kVersion;
    sym->show_hrt = 0;
    sym->scale = 0.5f; // one pixel per module
    sym->whitespace_width = 0;
    sym->whitespace_height = 0;
    sym->border_width = 0;
    const QByteArray data = m_text.toUtf8();
    const int rc = ZBarcode_Encode_and_Buffer(sym.get(), reinterpret_cast<const unsigned char *>(data.constData()),
                                              int(data.size()), 0);
    if (rc >= ZINT_ERROR) {
        qCritical() << "QrPainter::symbol" << sym->errtxt;
        return {};
    }
    QImage out(sym->bitmap_width, sym->bitmap_height, QImage::Format_ARGB32);
    for (int y = 0; y < sym->bitmap_height; ++y) {
        const unsigned char *row = sym->bitmap + size_t(y) * size_t(sym->bitmap_width) * 3;
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < sym->bitmap_width; ++x) {
            const bool dark = row[x * 3] < 128;
            line[x] = dark ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

bool QrPainter::render(QPainter &painter, const QRectF &rect) const
{
    const QImage image = symbol();
    if (image.isNull())
        return false;
    // Modules stay sharp and all of one width: a whole number of device
    // pixels each (stretched by a fraction, some modules came out a pixel
    // wider than others, and a 300 dpi page code often did not read back),
    // the symbol centred in the rectangle.
    const QTransform device = painter.deviceTransform();
    const double across = std::min(rect.width() * std::hypot(device.m11(), device.m12()),
                                   rect.height() * std::hypot(device.m21(), device.m22()));
    const int modulePx = std::max(1, int(std::floor(across / std::max(image.width(), image.height()))));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (device.type() <= QTransform::TxScale && across >= std::max(image.width(), image.height())) {
        const QPointF centre = device.map(rect.center());
        const QSizeF size(image.width() * modulePx, image.height() * modulePx);
        const QPointF topLeft(std::round(centre.x() - size.width() / 2), std::round(centre.y() - size.height() / 2));
        painter.resetTransform();
        painter.drawImage(QRectF(topLeft, size), image);
    } else {
        painter.drawImage(rect, image);
    }
    painter.restore();
    return true;
}
