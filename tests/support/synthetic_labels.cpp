#include "tests/support/synthetic_labels.h"

#include "tests/support/synthetic_marks.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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

double pagePitchPx(const LabelWeb &web)
{
    return (web.pageMm.height() + web.pageSpacingMm) * pxPerMm(web);
}

QImage renderCheckPicture(const LabelWeb &web)
{
    QImage image(web.size, QImage::Format_RGB888);
    image.fill(QColor(web.background, web.background, web.background));
    const double s = pxPerMm(web);
    const double pagePx = pagePitchPx(web);
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform, web.rotationDeg != 0.0);
    p.setRenderHint(QPainter::Antialiasing, web.rotationDeg != 0.0);
    const QPointF middle((web.firstEdge + web.lastEdge) * 0.5, web.size.height() * 0.5);
    p.translate(middle);
    p.rotate(web.rotationDeg);
    p.translate(-middle);
    const int h = web.size.height();
    p.fillRect(QRect(web.firstEdge, -h, web.lastEdge - web.firstEdge, 3 * h), QColor(web.liner, web.liner, web.liner));
    // Whole and partial pages before and after the first whole one (a turned
    // web shows a little more).
    const int before = int(std::ceil((web.firstPageY + 0.1 * h) / pagePx));
    for (int page = -before; web.firstPageY + page * pagePx < 1.1 * h; ++page) {
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
        // Drawn from a table of samples picked by a cheap generator: the
        // large sets of pictures would spend most of their time here.
        std::mt19937 random(web.seed);
        std::normal_distribution<double> noise(0.0, web.noiseSigma);
        std::vector<int> samples(65536);
        for (int &v : samples)
            v = int(std::lround(noise(random)));
        quint32 state = web.seed | 1u;
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < image.width() * 3; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                line[x] = uchar(std::clamp(int(line[x]) + samples[state & 0xffffu], 0, 255));
            }
        }
    }
    return image;
}

LabelWeb variedWeb(quint32 seed)
{
    std::mt19937 random(seed);
    auto uniform = [&random](double from, double to) { return std::uniform_real_distribution<double>(from, to)(random); };
    auto chance = [&](double p) { return uniform(0.0, 1.0) < p; };
    auto pick = [&random](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };

    LabelWeb web;
    web.seed = seed;
    const int cols = pick(1, 3);
    const int rows = pick(2, 4);
    const double w = uniform(20.0, 40.0), h = uniform(10.0, 22.0);
    const double colGap = uniform(2.0, 8.0), rowGap = uniform(2.0, 8.0);
    const double side = uniform(1.5, 5.0), top = uniform(1.0, 4.0), bottom = uniform(1.0, 4.0);
    web.pageMm = QSizeF(2 * side + cols * w + (cols - 1) * colGap, top + rows * h + (rows - 1) * rowGap + bottom);
    web.pageSpacingMm = uniform(2.0, 8.0);
    web.labels.clear();
    static const QStringList kTexts = {QStringLiteral("LOT 42"), QStringLiteral("B 7731"), QStringLiteral("MFG 0925")};
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            Label l{QRectF(side + c * (w + colGap), top + r * (h + rowGap), w, h), {}, {}, {}};
            switch (pick(0, 4)) {
            case 1: l.qr = QStringLiteral("S%1-%2").arg(seed).arg(r * cols + c); break;          // code only
            case 2: l.barcode = QStringLiteral("A%1").arg(seed % 100000); break;               // code only
            case 3: l.text = kTexts.at(pick(0, 2)); break;                                     // text only
            case 4: l.qr = QStringLiteral("Q%1").arg(seed); l.text = kTexts.at(0); break;
            default: break;
            }
            web.labels.append(l);
        }
    }
    // Missing labels in the first or last row and column.
    const int n = rows * cols;
    if (chance(0.5))
        web.missing.insert(pick(0, cols - 1));
    if (chance(0.5))
        web.missing.insert((rows - 1) * cols + pick(0, cols - 1));
    if (chance(0.4))
        web.missing.insert(pick(0, rows - 1) * cols);
    if (chance(0.4))
        web.missing.insert(pick(0, rows - 1) * cols + cols - 1);
    // Most of the page stays: a page of gaps has no pattern to place.
    // The set's own order differs from process to process: the lowest goes.
    while (web.missing.size() > n / 3)
        web.missing.remove(*std::min_element(web.missing.cbegin(), web.missing.cend()));

    // The paper as wide as the picture allows with the whole page in it.
    const double pxPerMm = std::min(uniform(900.0, 1400.0) / web.pageMm.width(), 1100.0 / web.pageMm.height());
    const int paper = int(std::lround(web.pageMm.width() * pxPerMm));
    web.firstEdge = pick(40, web.size.width() - 40 - paper);
    web.lastEdge = web.firstEdge + paper;
    const int pageRows = int(std::ceil(web.pageMm.height() * pxPerMm));
    const int pitch = int(std::floor(pagePitchPx(web)));
    web.firstPageY = pick(5, std::max(5, std::min(pitch - 2, web.size.height() - pageRows - 8)));

    web.background = pick(10, 90);
    do
        web.liner = pick(60, 220);
    while (std::abs(web.liner - web.background) < 25);
    web.labelStock = std::min(255, std::max(web.liner + 35, pick(225, 250)));
    web.blur = chance(0.3);
    web.noiseSigma = chance(0.5) ? uniform(1.0, 6.0) : 0.0;
    web.shading = chance(0.5) ? uniform(0.05, 0.25) : 0.0;
    web.rotationDeg = chance(0.5) ? uniform(-1.0, 1.0) : 0.0;
    return web;
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
