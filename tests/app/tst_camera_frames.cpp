// The check camera's frame loop on Aravis's fake camera: frames reach the
// image provider under new addresses, the loop keeps its 100 ms period and
// ends with the application.
#include "tests/support/app_test_main.h"
#include "app/check_camera.h"
#include "settings/config.h"
#include "platform/camera/hk_camera.h"
#include "vision/image_provider.h"
#include "app/spoolsmith_app.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestCameraFrames : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_config = std::make_unique<Config>(m_dir.path());
        Config::setInstance(m_config.get());
        m_config->setIndustrialCameraLister([] { return HKCamera::instance()->serialNumbers(); });
    }

    void cleanup()
    {
        SpoolsmithApp::instance()->stopCameraFrames();
        Config::setInstance(nullptr);
        m_config.reset();
    }

    void framesReachTheProvider()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        // No check camera set: the first industrial one is taken and its
        // frames are grabbed by the loop instead of the QML camera.
        app->chooseCheckCamera();
        QCOMPARE(m_config->checkCamera(), QStringLiteral("1"));
        QVERIFY(!m_config->usedQMLCameraAt(1));

        QSignalSpy pathSpy(app, &SpoolsmithApp::framePathChanged);
        QVERIFY(app->startCameraFrames());
        QVERIFY(app->frameLoopRunning());
        QTRY_VERIFY_WITH_TIMEOUT(pathSpy.count() >= 2, 10000);

        // The current address answers with the current frame; once a newer
        // frame is stored, the old address answers nothing.
        std::unique_ptr<ImageProvider> provider(app->takeImageProvider());
        QVERIFY(provider);
        const QString url = app->framePath();
        QVERIFY(url.startsWith(QLatin1String("image://myImage/")));
        QTRY_VERIFY_WITH_TIMEOUT(!provider->requestImage(app->framePath().mid(16), nullptr, QSize()).isNull(), 5000);
        QCOMPARE(app->currentFrame().format(), QImage::Format_RGB888);
        QTRY_VERIFY_WITH_TIMEOUT(app->framePath() != url, 5000);
        QVERIFY(provider->requestImage(url.mid(16), nullptr, QSize()).isNull());
        QVERIFY(provider->requestImage(QStringLiteral("1"), nullptr, QSize()).isNull());
    }

    void loopHoldsItsPeriodAndStops()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        app->chooseCheckCamera();
        QVERIFY(app->startCameraFrames());
        QTRY_VERIFY_WITH_TIMEOUT(app->frameLoopCycles() > 0, 10000);

        // At 100 ms a cycle, about 10 cycles fit in a second; the loop must
        // never run faster (the fake camera delivers 20 frames a second).
        // Waited for by count, not for a fixed time: a loaded machine only
        // slows the loop.
        const quint64 before = app->frameLoopCycles();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(app->frameLoopCycles() - before >= 10, 20000);
        const quint64 cycles = app->frameLoopCycles() - before;
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(cycles <= quint64(elapsed / 100 + 2), qPrintable(QStringLiteral("%1 in %2 ms").arg(cycles).arg(elapsed)));
        QTRY_VERIFY_WITH_TIMEOUT(app->fps() >= 5 && app->fps() <= 10, 5000);

        // Shut-down joins the loop: no cycle after it.
        app->shutdown();
        QVERIFY(!app->frameLoopRunning());
        const quint64 stopped = app->frameLoopCycles();
        QTest::qWait(300);
        QCOMPARE(app->frameLoopCycles(), stopped);
    }

    void savesAndRecordsTheFrame()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        app->chooseCheckCamera();
        QVERIFY(app->startCameraFrames());
        QTRY_VERIFY_WITH_TIMEOUT(!app->currentFrame().isNull(), 10000);

        const QString base = m_dir.filePath(QStringLiteral("frame"));
        QVERIFY(app->saveFrame(base));
        QVERIFY(QImage(base + QStringLiteral(".jpg")).size() == app->currentFrame().size());
        // The suffix is added whatever the name ends with.
        QVERIFY(app->saveFrame(base + QStringLiteral(".jpg")));
        QVERIFY(QFile::exists(base + QStringLiteral(".jpg.jpg")));

        const QString video = m_dir.filePath(QStringLiteral("check.avi"));
        QVERIFY(app->startRecorder(video));
        const quint64 cycles = app->frameLoopCycles();
        QTRY_VERIFY_WITH_TIMEOUT(app->frameLoopCycles() >= cycles + 3, 10000);
        app->stopRecorder();
        QVERIFY(QFileInfo(video).size() > 1000);
    }

    void noIndustrialCameraNoLoop()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        m_config->setCheckCamera(QStringLiteral("USB Camera"));
        app->chooseCheckCamera();
        QCOMPARE(m_config->checkCamera(), QStringLiteral("USB Camera"));
        QVERIFY(m_config->usedQMLCameraAt(1));
        QVERIFY(!app->startCameraFrames());
        QVERIFY(!app->frameLoopRunning());
        QVERIFY(!app->startRecorder(m_dir.filePath(QStringLiteral("none.avi"))));
        app->stopRecorder();
    }

    void printPreviewGetsNewAddresses()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        QImage page(20, 30, QImage::Format_RGB32);
        page.fill(Qt::blue);
        QSignalSpy spy(app, &SpoolsmithApp::printImgPathChanged);
        app->setPrintPreview(page);
        const QString first = app->printImgPath();
        app->setPrintPreview(page);
        QCOMPARE(spy.count(), 2);
        QVERIFY(app->printImgPath() != first);
        QCOMPARE(app->imageForUrl(app->printImgPath()), page);
        QVERIFY(app->imageForUrl(first).isNull());
    }

    void checkCameraFormatChoice()
    {
        const QList<CameraFormatInfo> formats = {
            {QSize(3840, 3040), 10.0f}, {QSize(1920, 1080), 30.0f}, {QSize(3840, 3040), 15.0f},
            {QSize(3040, 3840), 5.0f},
        };
        QCOMPARE(chooseCheckCameraFormat(formats), 2); // the later of the two qualifying
        QCOMPARE(chooseCheckCameraFormat({{QSize(3040, 3840), 8.0f}}), 0);
        QCOMPARE(chooseCheckCameraFormat({{QSize(1920, 1080), 30.0f}}), -1);
        QCOMPARE(chooseCheckCameraFormat({}), -1);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
};

SPOOLSMITH_APP_TEST_MAIN(TestCameraFrames)

#include "tst_camera_frames.moc"
