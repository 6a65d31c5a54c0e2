// The OCR models load in the background after the window's first frame; a
// page-code read that comes sooner waits for them, bounded, and missing
// models make reads give nothing at once instead of waiting.
#include "app/marks/ocr_engine.h"
#include "platform/ocr/shared_ocr.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"

namespace {

// Grey paper with a printed page code, as the mark camera sees it (BGR).
QImage codePicture(const QString &code)
{
    QImage img(640, 480, QImage::Format_RGB888);
    img.fill(QColor(235, 235, 230));
    QPainter p(&img);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(36);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(240, 210, 320, 60), Qt::AlignCenter, code);
    p.end();
    return img.convertToFormat(QImage::Format_BGR888);
}

} // namespace

class TestOcrStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
        if (!bin.isEmpty())
            QDir::setCurrent(bin);
        m_models = QFileInfo::exists(QStringLiteral("models/ppocr_keys_v1.txt"));
    }

    // A read right after the load starts waits for it and reads the code.
    void earlyReadWaitsForTheModels()
    {
        if (!m_models)
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        OcrEngine engine;
        engine.startLoading();
        engine.startLoading(); // once only
        const QList<PageCodeLine> lines =
            engine.read(codePicture(QStringLiteral("3a7c91e0")), std::chrono::milliseconds(kHangMs));
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.first().text.contains(QStringLiteral("3a7c91e0"), Qt::CaseInsensitive),
                 qPrintable(lines.first().text));
        QVERIFY(engine.init()); // the load done, init only reports it
        // The label detector reads with the same engine, not a copy of its own.
        QCOMPARE(&engine.lite(), sharedocr::engine(QDir(QStringLiteral("models")).absolutePath().toStdString()).get());
    }

    // The load starts with the window's first frame (or the fallback), not before.
    void loadStartsAfterTheFirstFrame()
    {
        if (!m_models)
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        OcrEngine engine;
        QQuickWindow window;
        window.resize(64, 64);
        window.show();
        QObject context;
        engine.startAfterFirstFrame(&context, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(engine.waitReady(std::chrono::milliseconds(0)), kHangMs);
    }

    void missingModelsGiveNothingAtOnce()
    {
        if (QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/models")))
            QSKIP("models lie beside the test program, where the engine also looks");
        QTemporaryDir empty;
        const QString before = QDir::currentPath();
        QDir::setCurrent(empty.path());
        LogCapture log;
        OcrEngine engine;
        engine.startLoading();
        // Fails rather than waits out the bound.
        QVERIFY(!engine.waitReady(std::chrono::hours(1)));
        QVERIFY(engine.read(codePicture(QStringLiteral("0000002f")), std::chrono::hours(1)).isEmpty());
        QVERIFY(!engine.init());
        QDir::setCurrent(before);
        QVERIFY(log.contains(QStringLiteral("Failed to initialize models.")));
        QVERIFY(log.contains(QStringLiteral("OCR models not loaded")));
    }

private:
    bool m_models = false;
};

QTEST_MAIN(TestOcrStart)
#include "tst_ocr_start.moc"
