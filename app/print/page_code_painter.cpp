#include "app/print/page_code_painter.h"

#include "platform/scene/gmark_item.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

QRectF PageCodePainter::pageCodeRect(const GMarkItem *mark, uint markerType)
{
    if (!mark || (markerType != kText && markerType != kQr))
        return {};
    const QMarginsF m = mark->margins();
    // Single precision, as the reading side computes it.
    const float x = float(m.left()) + float(mark->markSize()) * 0.5f + 2.0f;
    if (markerType == kText) {
        const float y = std::max(0.5f, float(m.top()) - 1.0f);
        return QRectF(x, y, 16.0, 2.0);
    }
    const float y = std::max(0.5f, float(m.top()) - 3.0f);
    return QRectF(x, y, 6.0, 6.0);
}

QString PageCodePainter::codeText(quint32 code)
{
    return QString::asprintf("%08x", code);
}

bool PageCodePainter::draw(QImage &image, const QSizeF &pageMm, quint32 code, uint markerType, const QRectF &rectMm)
{
    if (image.isNull() || pageMm.width() <= 0 || pageMm.height() <= 0)
        return false;
    const double sx = image.width() / pageMm.width();
    const double sy = image.height() / pageMm.height();
    const QRectF r(rectMm.x() * sx, rectMm.y() * sy, rectMm.width() * sx, rectMm.height() * sy);
    if (r.isEmpty())
        return false;
    const QString text = codeText(code);
    QPainter painter(&image);
    if (markerType == kText) {
        QFont font;
        const int points = int(r.height());
        if (points <= 0)
            return false;
        font.setPointSize(points);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(r.bottomLeft(), text);
        return true;
    }
    if (markerType == kQr) {
        m_qr.setText(text);
        return m_qr.render(painter, r);
    }
    return false;
}
