#pragma once

#include "vision/page_code.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QRandomGenerator>
#include <QString>

#include <opencv2/imgproc.hpp>

#include <cstdint>

namespace synth {

// A page code printed as text beside a mark, as the mark camera sees it (40
// pixels a mm): paper, the 3.5 mm mark, and the code 2 mm right of it, 2 mm
// tall as printed; blurred and turned a little.
struct PrintedCode
{
    uint32_t code = 0;
    QString text;            // as printed, upper case in some styles
    QString family;
    double angle = 0.0;      // degrees the text is turned
    QImage picture;          // 640 x 240
    QPointF mark{100, 120};  // the mark's centre in the picture
    bool markFound = false;  // read as the scan reads it beside its found mark
};

// The page-code OCR's accuracy set, the same codes in the same order every
// run (the test reads the first of them, the OCR benchmark a thousand): the
// program's own print (its default font, lower case) and two other fonts in
// both cases; every other one read with its mark found, on the code's area
// alone. Draws text: needs a QGuiApplication.
class PrintedCodes
{
public:
    PrintedCodes()
    {
        QFont printed; // the program prints with the default font
        printed.setPixelSize(64);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(60);
        QFont serif(QStringLiteral("DejaVu Serif"));
        serif.setPixelSize(60);
        m_styles = {{printed, false}, {mono, false}, {mono, true}, {serif, false}, {serif, true}};
    }

    PrintedCode next()
    {
        PrintedCode out;
        const Style &style = m_styles.at(m_index % m_styles.size());
        out.markFound = m_index++ % 2;
        out.code = randomCode();
        out.text = style.upper ? pageCodeText(out.code).toUpper() : pageCodeText(out.code);
        out.family = style.font.family();
        out.angle = m_rng.bounded(6.0) - 3.0;
        const double sigma = 0.5 + m_rng.bounded(0.8);

        out.picture = QImage(640, 240, QImage::Format_RGB888);
        out.picture.fill(QColor(238, 236, 230));
        QPainter p(&out.picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 20, 20));
        p.drawEllipse(out.mark, 70, 70);
        p.translate(250, 145);
        p.rotate(out.angle);
        p.setFont(style.font);
        p.setPen(QColor(25, 25, 25));
        p.drawText(QPointF(0, 0), out.text);
        p.end();
        cv::Mat view(out.picture.height(), out.picture.width(), CV_8UC3, out.picture.bits(),
                     size_t(out.picture.bytesPerLine()));
        cv::GaussianBlur(view, view, cv::Size(0, 0), sigma);
        return out;
    }

private:
    struct Style
    {
        QFont font;
        bool upper = false;
    };

    // Zeros as often as a run of printed pages has them.
    uint32_t randomCode()
    {
        uint32_t code = 0;
        for (int i = 0; i < 8; ++i)
            code = code << 4 | (m_rng.bounded(10) < 3 ? 0u : m_rng.bounded(16u));
        return code == 0 ? 1 : code;
    }

    QRandomGenerator m_rng{20261207};
    QList<Style> m_styles;
    int m_index = 0;
};

} // namespace synth
