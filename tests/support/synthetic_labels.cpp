#include "tests/support/synthetic_labels.h"

#include "tests/support/synthetic_marks.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace synth {

namespace {
constexpr double kMaskPxPerMm = 5.0 * 72.0 / 25.4;
} // namespace

double pxPerMm(const LabelWeb &web)
{
    return double(web.lastEdge - web.firstEdge) / web.pageMm.width();
}

QRect labelInPicture(const LabelWeb &web, int i)
{
    const double s = pxPerMm(web);
    const QRectF mm = web.labels.at(i).mm;
    return QRectF(web.firstEdge + mm.x() * s, web.firstPageY + mm.y() * s, mm.width() * s, mm.height() * s)
        .toAlignedRect();
}

QImage renderCutMaskOf(const LabelWeb &web)
{
    QImage mask(int(std::lround(web.pageMm.width() * kMaskPxPerMm)),
                int(std::lround(web.pageMm.height() * kMaskPxPerMm)), QImage::Format_RGB888);
    mask.fill(Qt::white);
    QPainter p(&mask);
    p.scale(kMaskPxPerMm, kMaskPxPerMm);
    for (const Label &l : web.labels)
        p.fillRect(l.mm, Qt::black);
    return mask;
}

QImage barcodeSymbol(const QString &text, int height, int width)
{
    const QImage bitmap = zintBitmap(BARCODE_CODE128, text);
    return bitmap.isNull() ? bitmap : bitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage renderCheckPicture(const LabelWeb &web)
{
    QImage image(web.size, QImage::Format_RGB888);
    image.fill(QColor(web.background, web.background, web.background));
    const double s = pxPerMm(web);
    const double pagePx = web.pageMm.height() * s;
    QPainter p(&image);
    p.fillRect(QRect(web.firstEdge, 0, web.lastEdge - web.firstEdge, web.size.height()),
               QColor(web.liner, web.liner, web.liner));
    // Whole and partial pages before and after the first whole one.
    const int before = int(std::ceil(web.firstPageY / pagePx));
    for (int page = -before; web.firstPageY + page * pagePx < web.size.height(); ++page) {
        const double top = web.firstPageY + page * pagePx;
        for (int i = 0; i < web.labels.size(); ++i) {
            if (page == 0 && web.missing.contains(i))
                continue;
            const Label &l = web.labels.at(i);
            const QRectF r(web.firstEdge + l.mm.x() * s, top + l.mm.y() * s, l.mm.width() * s, l.mm.height() * s);
            p.fillRect(r, QColor(web.labelStock, web.labelStock, web.labelStock));
            double x = r.x() + 2.0 * s;
            if (!l.qr.isEmpty()) {
                const int side = int(std::min(r.height(), r.width()) - 4.0 * s);
                p.drawImage(QPointF(x, r.y() + 2.0 * s), qrSymbol(l.qr, side));
                x += side + 2.0 * s;
            }
            if (!l.barcode.isEmpty()) {
                // Code 128 wants ten modules of quiet zone each side.
                const double quiet = 2.0 * s;
                const QImage bar = barcodeSymbol(l.barcode, int(r.height() * 0.45), int(r.right() - x - 2.0 * quiet));
                p.drawImage(QPointF(x + quiet, r.y() + 2.0 * s), bar);
            }
            if (!l.text.isEmpty()) {
                QFont f(QStringLiteral("DejaVu Sans"));
                f.setPixelSize(std::max(10, int(r.height() * 0.2)));
                p.setFont(f);
                p.setPen(Qt::black);
                p.drawText(QRectF(x, r.y() + r.height() * 0.55, r.right() - x - 2.0 * s, r.height() * 0.4),
                           Qt::AlignLeft | Qt::AlignVCenter, l.text);
            }
        }
    }
    p.end();
    if (web.shading > 0.0) {
        QPainter shade(&image);
        QLinearGradient g(0, 0, web.size.width(), 0);
        g.setColorAt(0, QColor(0, 0, 0, 0));
        g.setColorAt(1, QColor(0, 0, 0, int(255 * web.shading)));
        shade.fillRect(image.rect(), g);
    }
    if (web.blur)
        image = image.scaled(web.size / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .scaled(web.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (web.noiseSigma > 0.0) {
        std::mt19937 random(web.seed);
        std::normal_distribution<double> noise(0.0, web.noiseSigma);
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < image.width() * 3; ++x)
                line[x] = uchar(std::clamp(int(line[x] + noise(random)), 0, 255));
        }
    }
    return image;
}

LabelWeb standardWeb()
{
    LabelWeb web;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col)
            web.labels.append({QRectF(5.0 + col * 50.0, 5.0 + row * 22.0, 40.0, 20.0), {}, {}, {}});
    web.labels[0].qr = QStringLiteral("SPOOL-0001");
    web.labels[1].barcode = QStringLiteral("A12345");
    web.labels[2].text = QStringLiteral("LOT 42");
    return web;
}

} // namespace synth
