// Page codes printed beside a mark, read back through the mark scan's OCR:
// the program's own print (its default font, lower case) and two other
// fonts in both cases, slightly blurred and turned, read on the whole
// picture or, with the mark found, on the code's area. At least 99 % of
// 1,000 must read exactly. Needs the PP-OCR models (scripts/install-ocr.sh).
#include "tests/support/app_test_main.h"
#include "settings/config.h"
#include "vision/film_slot.h"
#include "vision/page_code.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <memory>

namespace {

struct Style
{
    QFont font;
    bool upper = false;
};

// A random code with zeros as often as a run of printed pages has them.
quint32 randomCode(QRandomGenerator &rng)
{
    quint32 code = 0;
    for (int i = 0; i < 8; ++i)
        code = code << 4 | (rng.bounded(10) < 3 ? 0u : rng.bounded(16u));
    return code == 0 ? 1 : code;
}

// The mark camera's picture (40 pixels a mm): paper, the mark, and the code
// 2 mm right of it, 2 mm tall as printed; blurred by sigma, turned by angle.
QImage picture(const QString &text, const Style &style, double angle, double sigma)
{
    QImage img(640, 240, QImage::Format_RGB888);
    img.fill(QColor(238, 236, 230));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(QPointF(100, 120), 70, 70);
    p.translate(250, 145);
    p.rotate(angle);
    p.setFont(style.font);
    p.setPen(QColor(25, 25, 25));
    p.drawText(QPointF(0, 0), text);
    p.end();
    if (sigma > 0) {
        cv::Mat view(img.height(), img.width(), CV_8UC3, img.bits(), size_t(img.bytesPerLine()));
        cv::GaussianBlur(view, view, cv::Size(0, 0), sigma);
    }
    return img;
}

} // namespace

class TestPageCodeAccuracy : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }
    // The scan takes the mark's size from the settings.
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        // The program finds its models from its working directory.
        const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
        if (!bin.isEmpty())
            QDir::setCurrent(bin);
        if (!QFileInfo::exists(QStringLiteral("models/ppocr_keys_v1.txt")))
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        QVERIFY(app()->initOcr());
        m_config = std::make_unique<Config>(m_dir.path(), m_dir.filePath(QStringLiteral("config.db")));
        Config::setInstance(m_config.get());
    }

    void cleanupTestCase() { Config::setInstance(nullptr); }

    void thousandCodesReadExactly()
    {
        QFont printed; // the program prints with the default font
        printed.setPixelSize(64);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(60);
        QFont serif(QStringLiteral("DejaVu Serif"));
        serif.setPixelSize(60);
        const QList<Style> styles{{printed, false}, {mono, false}, {mono, true}, {serif, false}, {serif, true}};

        QRandomGenerator rng(20261207);
        const int total = 1000;
        int exact = 0;
        QStringList misses;
        for (int i = 0; i < total; ++i) {
            const quint32 code = randomCode(rng);
            const Style &style = styles.at(i % styles.size());
            QString text = pageCodeText(code);
            if (style.upper)
                text = text.toUpper();
            const double angle = rng.bounded(6.0) - 3.0;
            const double sigma = 0.5 + rng.bounded(0.8);
            const QImage img = picture(text, style, angle, sigma);
            FilmSlot slot;
            slot.image = img.scaled(320, 120);
            // Every other picture as the scan gives it, with its mark found:
            // the code's area is read by itself then.
            if (i % 2)
                slot.markPos = QPointF(50, 60);
            app()->scanOCR(img, slot);
            quint32 read = 0;
            if (parsePageCode(slot.text.toLower(), &read) && read == code)
                ++exact;
            else if (misses.size() < 20)
                misses << QStringLiteral("%1 (%2, %3 deg) as \"%4\"")
                              .arg(text, style.font.family())
                              .arg(angle, 0, 'f', 1)
                              .arg(slot.text);
        }
        std::fprintf(stderr, "page codes read exactly: %d of %d\n", exact, total);
        for (const QString &miss : misses)
            std::fprintf(stderr, "  missed %s\n", qPrintable(miss));
        QVERIFY2(exact * 100 >= total * 99, qPrintable(QStringLiteral("%1 of %2; e.g. %3")
                                                            .arg(exact)
                                                            .arg(total)
                                                            .arg(misses.join(QStringLiteral("; ")))));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestPageCodeAccuracy)
#include "tst_page_code_accuracy.moc"
