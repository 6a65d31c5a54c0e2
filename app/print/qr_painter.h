#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

// QR symbols of the page code over libzint: QR Code (symbology 58) at
// version 4 (33 x 33 modules), dark modules on a transparent ground.
class QrPainter
{
public:
    static constexpr int kSymbology = 58;
    static constexpr int kVersion = 4;

    void setText(const QString &text) { m_text = text; }
    // One pixel per module, transparent light modules; null on failure.
    QImage symbol() const;
    // Stretched to rect (aspect ratio ignored); false when zint fails.
    bool render(QPainter &painter, const QRectF &rect) const;

private:
    QString m_text;
};
