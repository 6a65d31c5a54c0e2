// The check camera's frame loop on Aravis's fake camera: frames reach the
// image provider under new addresses, the loop keeps its 100 ms period and
// ends with the application.
#include "tests/support/app_test_main.h"
#include "app/camera/recent_frame_addresses.h"
#include "app/check_camera.h"
#include "settings/config.h"
#include "platform/camera/hk_camera.h"
#include "vision/image_provider.h"
#include "app/spoolsmith_app.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"

#include <QElapsedTimer>
#include <QtEndian>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>

namespace {
// The play time of an AVI file as its main header gives it: frames × the
// time per frame.
double aviSeconds(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray head = file.read(4096);
    const int at = head.indexOf("avih");
    if (at < 0 || head.size() < at + 8 + 20)
        return -1.0;
    const auto word = [&head, at](int index) {
        return qFromLittleEndian<quint32>(head.constData() + at + 8 + 4 * index);
    };
    return double(word(4)) * double(word(0)) / 1e6;
}
} // namespace

class TestCameraFrames : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_config = std::make_unique<Config>(m_dir.path(), m_dir.filePath(QStringLiteral("config.db")));
        Config::setInstance(m_config.get());
        m_config->setIndustrialCameraLister([] { return HKCamera::instance()->serialNumbers(); });
    }

    void cleanup()
    {
        qputenv("SPOOLSMITH_FAKE_CAMERA", "1");
        SpoolsmithApp::instance()->stopCameraFrames();
        LogCapture::clear(); // each case counts only its own lines
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
        QStringList given; // each address as its frame is stored, read once the loop is joined
        QObject listener;
        connect(app, &SpoolsmithApp::framePathChanged, &listener, [&] { given << app->framePath(); }, Qt::DirectConnection);
        const auto joinFirst = qScopeGuard([app] { app->stopCameraFrames(); }); // before given goes, on a failure too
        QVERIFY(app->startCameraFrames());
        QVERIFY(app->frameLoopRunning());
        QTRY_VERIFY_WITH_TIMEOUT(pathSpy.count() > RecentFrameAddresses::kKept, kHangMs);

        // The current address and one a few frames old (the page may ask late)
        // answer with the current frame; an older one, or one never given, nothing.
        std::unique_ptr<ImageProvider> provider(app->takeImageProvider());
        QVERIFY(provider);
        const QString url = app->framePath();
        QVERIFY(url.startsWith(QLatin1String("image://myImage/")));
        QTRY_VERIFY_WITH_TIMEOUT(!provider->requestImage(app->framePath().mid(16), nullptr, QSize()).isNull(), kHangMs);
        QCOMPARE(app->currentFrame().format(), QImage::Format_RGB888);
        app->stopCameraFrames();
        const std::pair<int, bool> rows[] = {{1, true}, {RecentFrameAddresses::kKept, false}}; // frames since, answers
        for (const auto &[since, answers] : rows)
            QCOMPARE(provider->requestImage(given.at(given.size() - 1 - since).mid(16), nullptr, QSize()).isNull(), !answers);
        QVERIFY(provider->requestImage(QStringLiteral("1"), nullptr, QSize()).isNull());
    }

    // The camera stops sending (unplugged) mid-run and comes back: it is
    // closed with one log line, opened again without a restart, and no
    // capture is answered by a frame from before its request.
    void lostCameraComesBackAndCapturesWaitForNewFrames()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        HKCamera *camera = HKCamera::instance();
        LogCapture log(LogCapture::Quiet);
        std::atomic<int> inspected{0};
        app->setLabelInspection([&inspected](const QImage &image) {
            if (!image.isNull())
                ++inspected;
        });
        const auto capture = [app] {
            auto result = std::async(std::launch::async, [app] { return app->doCapture(2); });
            while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            return result.get();
        };
        // A frame that comes is waited for as long as a hang; the request
        // no frame can answer gets a short wait below.
        m_config->setProperty(Config::CPT_Wait_Capture, int(kHangMs));
        app->chooseCheckCamera();
        QVERIFY(app->startCameraFrames());
        QTRY_VERIFY_WITH_TIMEOUT(!app->currentFrame().isNull(), kHangMs);
        QVERIFY(capture());
        QCOMPARE(inspected.load(), 1);

        // Unplugged: not listed any more, and its stream stops.
        qputenv("SPOOLSMITH_FAKE_CAMERA", "0");
        QVERIFY(camera->stopGrabbing("1"));
        QTRY_VERIFY_WITH_TIMEOUT(!camera->isOpen("1"), kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(app->currentFrame().isNull(), kHangMs); // its last frame is stale
        m_config->setProperty(Config::CPT_Wait_Capture, 1500);
        QVERIFY(!capture()); // and answers no request
        QCOMPARE(inspected.load(), 1);
        const auto lossLines = [] {
            return LogCapture::criticals().filter(QStringLiteral("the stream failed")).size();
        };
        QCOMPARE(lossLines(), 1);

        // Plugged back: opened again and answering.
        qputenv("SPOOLSMITH_FAKE_CAMERA", "1");
        QTRY_VERIFY_WITH_TIMEOUT(camera->isOpen("1"), kHangMs);
        m_config->setProperty(Config::CPT_Wait_Capture, int(kHangMs));
        QVERIFY(capture());
        QCOMPARE(inspected.load(), 2);
        QCOMPARE(lossLines(), 1);
        app->setLabelInspection({});
    }

    // Once the check camera's stream fails its last frame is stale: nothing
    // shows it, fps says no camera and saving it fails with the reason,
    // whether the camera is gone or comes back by itself; grabbing again
    // brings all of it back.
    void lostCameraShowsAsLost_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::newRow("unplugged") << false;
        QTest::newRow("stream stopped, still listed") << true;
    }

    void lostCameraShowsAsLost()
    {
        QFETCH(bool, listed);
        SpoolsmithApp *app = SpoolsmithApp::instance();
        LogCapture log(LogCapture::Quiet);
        const QString base = m_dir.filePath(QStringLiteral("lost"));
        const auto grabbing = [app, &base] { return !app->framePath().isEmpty() && app->fps() > 0 && app->saveFrame(base); };
        app->chooseCheckCamera();
        QVERIFY(app->startCameraFrames());
        QTRY_VERIFY_WITH_TIMEOUT(grabbing(), kHangMs);

        if (!listed)
            qputenv("SPOOLSMITH_FAKE_CAMERA", "0");
        QVERIFY(HKCamera::instance()->stopGrabbing("1"));
        QTRY_VERIFY_WITH_TIMEOUT(!app->saveFrame(base) && app->fps() == 0 && app->framePath().isEmpty(), kHangMs);
        QVERIFY(app->currentFrame().isNull());
        QVERIFY(!LogCapture::criticals().filter(QStringLiteral("SpoolsmithApp::saveFrame")).filter(QStringLiteral("stream failed")).isEmpty());

        qputenv("SPOOLSMITH_FAKE_CAMERA", "1");
        QTRY_VERIFY_WITH_TIMEOUT(grabbing(), kHangMs);
    }

    void loopHoldsItsPeriodAndStops()
    {
        SpoolsmithApp *app = SpoolsmithApp::instance();
        app->chooseCheckCamera();
        QVERIFY(app->startCameraFrames());
        QTRY_VERIFY_WITH_TIMEOUT(app->frameLoopCycles() > 0, kHangMs);

        // At 100 ms a cycle, about 10 cycles fit in a second; the loop must
        // never run faster (the fake camera delivers 20 frames a second).
        // Waited for by count, not for a fixed time: a loaded machine only
        // slows the loop.
        const quint64 before = app->frameLoopCycles();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(app->frameLoopCycles() - before >= 10, kHangMs);
        const quint64 cycles = app->frameLoopCycles() - before;
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(cycles <= quint64(elapsed / 100 + 2), qPrintable(QStringLiteral("%1 in %2 ms").arg(cycles).arg(elapsed)));
        QTRY_VERIFY_WITH_TIMEOUT(app->fps() >= 5 && app->fps() <= 10, kHangMs);

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
        QTRY_VERIFY_WITH_TIMEOUT(!app->currentFrame().isNull(), kHangMs);

        const QString base = m_dir.filePath(QStringLiteral("frame"));
        QVERIFY(app->saveFrame(base));
        QVERIFY(QImage(base + QStringLiteral(".jpg")).size() == app->currentFrame().size());
        // The suffix is added whatever the name ends with.
        QVERIFY(app->saveFrame(base + QStringLiteral(".jpg")));
        QVERIFY(QFile::exists(base + QStringLiteral(".jpg.jpg")));

        // The file plays as long as it was recorded (the camera sends 20
        // frames a second, the loop writes about 10).
        const QString video = m_dir.filePath(QStringLiteral("check.avi"));
        QVERIFY(app->startRecorder(video));
        QElapsedTimer recording;
        recording.start();
        QTest::qWait(3000);
        // Stopped right after a frame went in, so the file's end is not a
        // loop gap (long on a loaded machine) before the stop.
        const quint64 cycles = app->frameLoopCycles();
        QVERIFY(QTest::qWaitFor([&] { return app->frameLoopCycles() != cycles; }, kHangMs));
        app->stopRecorder();
        const double recorded = recording.elapsed() / 1000.0;
        const double played = aviSeconds(video);
        qInfo() << "recorded" << recorded << "s, plays" << played << "s";
        QVERIFY2(qAbs(played - recorded) <= 0.1 * recorded,
                 qPrintable(QStringLiteral("recorded %1 s, plays %2 s").arg(recorded).arg(played)));
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
