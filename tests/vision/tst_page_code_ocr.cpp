// Page codes read back by OCR from pictures drawn the way the printer draws
// them, with the real PP-OCR models (installed by scripts/install-ocr.sh).
#include "platform/ocr/ocr_lite.h"
#include "platform/ocr/ocr_paths.h"
#include "vision/page_code_ocr.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

#include <opencv2/imgproc.hpp>

namespace {

const char *const kDet = ".\\models\\ch_PP-OCRv3_det_infer.onnx";
const char *const kCls = ".\\models\\ch_ppocr_mobile_v2.0_cls_infer.onnx";
const char *const kRec = ".\\models\\ch_PP-OCRv3_rec_infer.onnx";
const char *const kKeys = ".\\models\\ppocr_keys_v1.txt";

// A mark-camera picture: grey paper, a black mark, the code beside it.
QImage pagePicture(const QString &code, int angle = 0)
{
    QImage img(640, 480, QImage::Format_RGB888);
    img.fill(QColor(235, 235, 230));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::black);
    p.drawEllipse(QPoint(160, 240), 40, 40);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(36);
    p.setFont(font);
    p.setPen(Qt::black);
    p.translate(400, 240);
    p.rotate(angle);
    p.drawText(QRect(-160, -30, 320, 60), Qt::AlignCenter, code);
    return img;
}

} // namespace

class TestPageCodeOcr : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The program finds its models from its working directory.
        const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
        if (!bin.isEmpty())
            QDir::setCurrent(bin);
        m_ready = QFileInfo::exists(QStringLiteral("models/ppocr_keys_v1.txt"));
        if (m_ready)
            QVERIFY(m_ocr.initModels(kDet, kCls, kRec, kKeys));
    }

    void parsesOnlyEightHexDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint32>("code");
        QTest::newRow("printed") << "0000002f" << true << quint32(0x2f);
        QTest::newRow("upper") << "3A7C91E0" << true << quint32(0x3a7c91e0);
        QTest::newRow("spaced") << "3a7c 91e0" << true << quint32(0x3a7c91e0);
        QTest::newRow("letter O") << "OOOO002f" << true << quint32(0x2f);
        QTest::newRow("seven") << "000002f" << false << quint32(0);
        QTest::newRow("nine") << "00000002f" << false << quint32(0);
        QTest::newRow("prefix") << "0x00002f" << false << quint32(0);
        QTest::newRow("not hex") << "0000002g" << false << quint32(0);
        QTest::newRow("empty") << "" << false << quint32(0);
        QTest::newRow("chinese") << "页码一二三四五" << false << quint32(0);
    }
    void parsesOnlyEightHexDigits()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(quint32, code);
        quint32 read = 0;
        QCOMPARE(parseOcrPageCode(text, &read), ok);
        QCOMPARE(read, code);
    }

    void readsRenderedCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("angle");
        QTest::newRow("digits") << "00000047" << 0;
        QTest::newRow("letters") << "3a7c91e0" << 0;
        QTest::newRow("upside down") << "5b0d28f1" << 180;
    }
    void readsRenderedCode()
    {
        if (!m_ready)
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        QFETCH(QString, code);
        QFETCH(int, angle);
        const QImage img = pagePicture(code, angle);
        const PageCodeReading reading = readPageCodeByOcr(m_ocr, img, 0.5);
        // The letter o for the digit 0 is the one confusion the code allows.
        QCOMPARE(QString(reading.text).remove(QLatin1Char(' ')).toLower().replace(QLatin1Char('o'), QLatin1Char('0')),
                 code);
        QCOMPARE(reading.code, code.toUInt(nullptr, 16));
        QVERIFY(reading.score > 0.5f);
        // The box lies round the code (right half), in half-size pixels.
        QCOMPARE(reading.points.size(), 4);
        for (const QPointF &p : reading.points) {
            QVERIFY2(p.x() >= 100 && p.x() <= 320, qPrintable(QString::number(p.x())));
            QVERIFY2(p.y() >= 80 && p.y() <= 160, qPrintable(QString::number(p.y())));
        }
    }

    void blankPageReadsNothing()
    {
        if (!m_ready)
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        QImage img(640, 480, QImage::Format_RGB888);
        img.fill(Qt::white);
        const PageCodeReading reading = readPageCodeByOcr(m_ocr, img, 1.0);
        QVERIFY(reading.text.isEmpty());
        QCOMPARE(reading.code, quint32(0));
        QVERIFY(readPageCodeByOcr(m_ocr, QImage(), 1.0).text.isEmpty());
    }

    // The code read on its line beside a found mark, whichever way the
    // camera turns the page; its box in capture pixels. The whole capture is
    // read only when the line holds no code.
    void readsBesideTheMark_data()
    {
        QTest::addColumn<int>("turn");
        QTest::addColumn<bool>("printed");
        for (int turn : {0, 90, 180, 270})
            QTest::addRow("turned %d", turn) << turn << true;
        QTest::addRow("no code") << 0 << false;
    }
    void readsBesideTheMark()
    {
        QFETCH(int, turn);
        QFETCH(bool, printed);
        // As printed at 40 pixels a mm: a 3.5 mm mark, the 2 mm tall line
        // starting 2 mm past its edge.
        QImage img(1280, 1024, QImage::Format_RGB32);
        img.fill(QColor(236, 234, 228));
        const QPointF mark(600, 500);
        QRectF line;
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(20, 20, 20));
            p.drawEllipse(mark, 70, 70);
            p.translate(mark);
            p.rotate(turn);
            QFont font;
            font.setPixelSize(64);
            p.setFont(font);
            p.setPen(QColor(25, 25, 25));
            if (printed)
                p.drawText(QPointF(150, 28), QStringLiteral("3a7c91e0"));
            line = p.transform().mapRect(
                QRectF(QFontMetrics(font).boundingRect(QStringLiteral("3a7c91e0"))).translated(150, 28));
        }
        const QRect area = pageCodeTextArea(img, mark, 3.5);
        QCOMPARE(area.isEmpty(), !printed);
        if (printed)
            QVERIFY2(QRectF(area).adjusted(-8, -8, 8, 8).contains(line.adjusted(8, 8, -8, -8)),
                     qPrintable(QStringLiteral("%1 %2 %3 %4").arg(area.x()).arg(area.y()).arg(area.width())
                                    .arg(area.height())));

        QList<QSize> asked;
        QList<double> scales;
        const PageCodeLineReader fake = [&asked, &scales](const QImage &bgr, double detectorScale) {
            asked.append(bgr.size());
            scales.append(detectorScale);
            return QList<PageCodeLine>{{QStringLiteral("hello"), 0.9f, {}}};
        };
        readPageCodeBesideMark(fake, img, mark, 3.5, 3000);
        // No code on the line: the whole capture after it.
        QCOMPARE(asked.size(), printed ? 2 : 1);
        QCOMPARE(asked.last(), img.size());
        // The line alone is looked for at half size, the whole capture as it is.
        QCOMPARE(scales, printed ? QList<double>({0.5, 1.0}) : QList<double>({1.0}));
        if (!m_ready || !printed)
            return;
        const PageCodeLineReader ocr = [this](const QImage &bgr, double scale) { return readPageCodeLines(m_ocr, bgr, scale); };
        const QList<PageCodeLine> lines = readPageCodeBesideMark(ocr, img, mark, 3.5, 3000);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.last().text.toLower(), QStringLiteral("3a7c91e0"));
        for (const QPointF &corner : lines.last().box)
            QVERIFY(line.adjusted(-30, -30, 30, 30).contains(corner));
    }

private:
    OcrLite m_ocr;
    bool m_ready = false;
};

QTEST_MAIN(TestPageCodeOcr)
#include "tst_page_code_ocr.moc"
