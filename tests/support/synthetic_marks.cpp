#include "tests/support/synthetic_marks.h"

#include <QPainter>
#include <QPainterPath>

#include <opencv2/imgproc.hpp>
#include <zint.h>

#include <cstring>
#include <memory>

namespace synth {

namespace {

void drawShape(QPainter &p, const Mark &m, double rotation)
{
    const double d = m.sizeMm * kPxPerMm;
    const double u = kPxPerMm;
    p.save();
    p.translate(m.centre);
    p.rotate(rotation);
    p.setPen(Qt::NoPen);
    switch (m.shape) {
    case Shape::Disk:
        p.drawEllipse(QPointF(0, 0), d / 2, d / 2);
        break;
    case Shape::DiskWithTicks:
        p.drawEllipse(QPointF(0, 0), d / 2, d / 2);
        p.drawRect(QRectF(-u / 2, -d / 2 - u, u, u / 2));
        p.drawRect(QRectF(-u / 2, d / 2 + u / 2, u, u / 2));
        break;
    case Shape::CrossHair: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(p.brush().color(), 6));
        const double r = 1.5 * d;
        p.drawEllipse(QPointF(0, 0), r, r);
        p.drawLine(QPointF(0, -r), QPointF(0, r));
        p.drawLine(QPointF(-r, 0), QPointF(r, 0));
        break;
    }
    case Shape::Square:
        p.drawRect(QRectF(-d / 2, -d / 2, d, d));
        break;
    case Shape::Ellipse:
        p.drawEllipse(QPointF(0, 0), d / 2, d / 2 * m.aspect);
        break;
    case Shape::Ring: {
        QPainterPath path;
        path.addEllipse(QPointF(0, 0), d / 2, d / 2);
        path.addEllipse(QPointF(0, 0), d / 4, d / 4);
        p.drawPath(path);
        break;
    }
    case Shape::Blob: {
        QPainterPath path;
        path.addEllipse(QPointF(0, 0), d, d * 0.6);
        path.addEllipse(QPointF(d * 0.6, d * 0.3), d * 0.5, d * 0.5);
        path.setFillRule(Qt::WindingFill);
        p.drawPath(path);
        break;
    }
    case Shape::Dots:
        for (int i = 0; i < 6; ++i)
            p.drawEllipse(QPointF((i % 3) * 2.5 * u, (i / 3) * 2.5 * u), u / 2, u / 2);
        break;
    case Shape::Bars:
        for (int i = 0; i < 5; ++i)
            p.drawRect(QRectF(i * 0.9 * u, 0, 0.35 * u, (i % 2 ? 2.0 : 3.0) * u));
        break;
    }
    p.restore();
}

} // namespace

QImage qrSymbol(const QString &text, int side)
{
    // Version 4 (33 x 33 modules), as the printed page code.
    const QImage bitmap = zintBitmap(BARCODE_QRCODE, text, -1, 4);
    return bitmap.isNull() ? bitmap : bitmap.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QPointF qrBesideMark(const QPointF &c, double markSizeMm, double qrSizeMm)
{
    return {c.x() + (markSizeMm * 0.5 + 2.0) * kPxPerMm, c.y() - qrSizeMm * 0.5 * kPxPerMm};
}

QImage render(const Picture &picture)
{
    QImage image(picture.size, QImage::Format_RGB32);
    image.fill(QColor(picture.paper, picture.paper, picture.paper));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        if (picture.shading > 0.0) {
            QLinearGradient g(0, 0, picture.size.width(), picture.size.height());
            const int dark = int(picture.paper * (1.0 - picture.shading));
            g.setColorAt(0, QColor(picture.paper, picture.paper, picture.paper));
            g.setColorAt(1, QColor(dark, dark, dark));
            p.fillRect(image.rect(), g);
        }
        p.setBrush(QColor(picture.ink, picture.ink, picture.ink));
        for (const Mark &m : picture.marks)
            drawShape(p, m, picture.rotationDeg);
        if (!picture.qrText.isEmpty()) {
            const int side = int(picture.qrSizeMm * kPxPerMm);
            const QImage qr = qrSymbol(picture.qrText, side);
            p.save();
            p.translate(picture.qrTopLeft);
            p.rotate(picture.rotationDeg);
            p.setRenderHint(QPainter::SmoothPixmapTransform, true);
            p.drawImage(QPointF(0, 0), qr);
            p.restore();
        }
    }
    if (picture.blurSigma <= 0.0 && picture.noiseSigma <= 0.0 && picture.exposure == 1.0)
        return image;

    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    cv::Mat mat(rgb.height(), rgb.width(), CV_8UC3, rgb.bits(), size_t(rgb.bytesPerLine()));
    if (picture.blurSigma > 0.0)
        cv::GaussianBlur(mat, mat, cv::Size(0, 0), picture.blurSigma);
    if (picture.noiseSigma > 0.0) {
        cv::RNG rng(picture.seed);
        cv::Mat noise(mat.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, 0, picture.noiseSigma);
        cv::Mat wide;
        mat.convertTo(wide, CV_16SC3);
        wide += noise;
        wide.convertTo(mat, CV_8UC3, picture.exposure);
    } else if (picture.exposure != 1.0) {
        mat.convertTo(mat, CV_8UC3, picture.exposure);
    }
    return rgb.convertToFormat(QImage::Format_RGB32);
}

} // namespace synth
