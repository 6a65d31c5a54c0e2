// The capture hand-shake: a job thread asks for a picture and is woken once
// the GUI thread has evaluated it, or not at all.
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_prompt.h"
#include "app/capture/capture_broker.h"
#include "app/spoolsmith_app.h"
#include "tests/support/test_camera.h"

#include <atomic>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QQmlApplicationEngine>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

class TstCaptureSync : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    // doCapture on a thread of its own, the GUI thread's loop kept running.
    bool captureOnThread(int camera, qint64 *elapsedMs = nullptr)
    {
        QElapsedTimer clock;
        clock.start();
        auto result = std::async(std::launch::async, [this, camera] { return app()->doCapture(camera); });
        while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (elapsedMs)
            *elapsedMs = clock.elapsed();
        return result.get();
    }

    DeviceFixture f;
    std::unique_ptr<TestCamera> m_camera;
    RecordingPrompt m_prompt;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        Prompt::setInstance(&m_prompt);
    }
    void init()
    {
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        // A picture that comes is waited for as long as a hang: a scan of a
        // 1280 px picture on a loaded machine takes a while. Tests of the
        // time-out set their own short wait, which nothing answers.
        f.useTestMarkCamera(int(kHangMs));
        f.makeDevice(DeviceFixture::Driver::Registered);
        m_camera = std::make_unique<TestCamera>();
        QVERIFY(app()->connectCameraObject(m_camera.get()));
    }
    void cleanup()
    {
        m_camera.reset();
        f.tearDown();
    }

    void markPictureIsScannedBeforeTheWakeUp()
    {
        m_camera->setMarkSource([](const QSize &s) { return QList<QPointF>{QPointF(s.width() / 2.0 + 80, s.height() / 2.0)}; });
        QVERIFY(captureOnThread(1));
        // Scanned on the GUI thread before the task thread woke: 1280 px
        // pictures are reduced four times to the 320 px scan.
        const QPointF p = app()->lastMarkPosition();
        QVERIFY2(qAbs(p.x() - 180) <= 1.0 && qAbs(p.y() - 120) <= 1.0,
                 qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(app()->lastMarkDiameter() > 35 && app()->lastMarkDiameter() < 45);
        QCOMPARE(m_camera->requests(), 1);
        QVERIFY(!app()->capturing());
    }

    void noPictureTimesOutAfterTheConfiguredWait()
    {
        f.config->setProperty(Config::CPT_Wait_Capture, 300);
        m_camera->dropNext(1);
        LogCapture log;
        qint64 ms = 0;
        QVERIFY(!captureOnThread(1, &ms));
        // The wait it ran out of is the configured one, however late its
        // thread woke.
        QVERIFY2(ms >= 290, qPrintable(QString::number(ms)));
        QVERIFY(LogCapture::contains(QStringLiteral("no picture in 300 ms, camera 1")));
        QVERIFY(!app()->captureRecord(1).done);
    }

    // A picture that comes after its request timed out must not satisfy the
    // next request of the same camera. The late picture is handed over once
    // its request's wait has ended, however late that thread woke, while the
    // next request waits and before the GUI thread runs its events again;
    // the next one's own picture (a mark elsewhere) comes only after that.
    void latePictureNeverSatisfiesTheNextRequest()
    {
        const auto markAt = [](double dx) {
            return [dx](const QSize &s) { return QList<QPointF>{QPointF(s.width() / 2.0 + dx, s.height() / 2.0)}; };
        };
        f.config->setProperty(Config::CPT_Wait_Capture, 200);
        m_camera->setMarkSource(markAt(-200));
        m_camera->dropNext(1);
        QSignalSpy requests(m_camera.get(), &TestCamera::capture);
        QVERIFY(!captureOnThread(1));
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, kHangMs);
        const int lateToken = requests.first().first().toInt();
        const QImage latePicture = m_camera->markPicture();

        f.config->setProperty(Config::CPT_Wait_Capture, int(kHangMs));
        m_camera->setMarkSource(markAt(80));
        m_camera->setDelayMs(500);
        LogCapture log;
        auto next = std::async(std::launch::async, [this] { return app()->doCapture(1); });
        QDeadlineTimer asked(kHangMs);
        while (!app()->capturing() && !asked.hasExpired())
            std::this_thread::yield();
        QVERIFY(app()->capturing());
        emit m_camera->capturedMarkImage(lateToken, QVariant::fromValue(latePicture));
        QVERIFY(LogCapture::contains(QStringLiteral("picture of request %1 came after its wait ended").arg(lateToken)));
        while (next.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QVERIFY(next.get());
        QCOMPARE(m_camera->answered(), 1);
        // Scanned from its own picture, not the late one.
        QVERIFY2(qAbs(app()->lastMarkPosition().x() - 180) <= 1.0,
                 qPrintable(QString::number(app()->lastMarkPosition().x())));
    }

    void labelPictureRunsTheInspectionOnItsOwnThread()
    {
        std::atomic<int> inspected{0};
        std::atomic<bool> sawCapturing{false};
        app()->setLabelInspection([&](const QImage &) {
            ++inspected;
            sawCapturing = app()->capturing();
        });
        QVERIFY(captureOnThread(2));
        QCOMPARE(inspected.load(), 1);
        QVERIFY(sawCapturing.load());
        // Without the QML camera only a frame the loop takes after the
        // request is inspected: with no loop running, none comes.
        f.config->setShowCamera(1);
        f.config->setUsedQMLCamera(false);
        f.config->setProperty(Config::CPT_Wait_Capture, 300);
        QVERIFY(!captureOnThread(2));
        QCOMPARE(inspected.load(), 1);
        QCOMPARE(m_camera->requests(), 1);
        f.config->setUsedQMLCamera(true);
        app()->setLabelInspection({});
    }

    // Pictures no request waits for still get inspected, one at a time, on
    // threads the application joins.
    void labelChecksAreOwnedAndJoined()
    {
        std::mutex lock;
        std::condition_variable wake;
        bool open = false;
        std::atomic<int> inspected{0};
        std::atomic<int> inside{0};
        std::atomic<int> mostInside{0};
        app()->setLabelInspection([&](const QImage &) {
            mostInside = std::max(mostInside.load(), ++inside);
            std::unique_lock<std::mutex> l(lock);
            wake.wait(l, [&open] { return open; });
            --inside;
            ++inspected;
        });
        for (int i = 0; i < 3; ++i)
            app()->capturedLabelImage(1000 + i, QVariant::fromValue(QImage(8, 8, QImage::Format_RGB888)));
        QCOMPARE(app()->labelCheckThreadCount(), 3);
        {
            std::lock_guard<std::mutex> l(lock);
            open = true;
        }
        wake.notify_all();
        app()->joinLabelChecks();
        QCOMPARE(app()->labelCheckThreadCount(), 0);
        QCOMPARE(inspected.load(), 3);
        QCOMPARE(mostInside.load(), 1);
        app()->setLabelInspection({});
    }

    void markCameraOffTheQmlRoadOnlyWaits()
    {
        // Nothing answers: the wait runs out, however short.
        f.config->setProperty(Config::CPT_Wait_Capture, 300);
        f.config->setShowCamera(0);
        f.config->setUsedQMLCamera(false);
        QVERIFY(!captureOnThread(1));
        QCOMPARE(m_camera->requests(), 0);
        f.config->setUsedQMLCamera(true);
    }

    // Shut-down ends every wait for a picture at once (a new template's
    // check picture, a job's mark picture, neither answered), and later
    // requests wait for nothing.
    void shutdownCancelsThePictureWaits()
    {
        // As long as a hang: only the cancel can end these waits.
        constexpr int waitMs = int(kHangMs);
        f.config->setProperty(Config::CPT_Wait_Capture, waitMs);
        CaptureBroker broker({[this] { return f.config.get(); }, [this] { return f.device.get(); }},
                             {[](const QImage &) {}, [](const QImage &) { return true; },
                              [](qint64, std::chrono::steady_clock::time_point) { return QImage(); }});
        // The job's request is made on its own thread: counted atomically,
        // not by a signal spy, whose list is not for two threads.
        std::atomic<int> askedCount{0};
        connect(&broker, &CaptureBroker::capture, this, [&askedCount] { askedCount.fetch_add(1); }, Qt::DirectConnection);
        const auto asked = [&askedCount] { return askedCount.load(); };
        broker.requestCheckPicture();
        auto job = std::async(std::launch::async, [&broker] { return broker.doCapture(1); });
        QTRY_COMPARE_WITH_TIMEOUT(asked(), 2, kHangMs);
        QElapsedTimer clock;
        clock.start();
        broker.cancelWaits();
        broker.joinLabelChecks();
        QVERIFY(!job.get());
        QVERIFY2(clock.elapsed() < waitMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(broker.labelCheckThreadCount(), 0);
        QVERIFY(!broker.doCapture(2));
        QCOMPARE(asked(), 2);
    }

    // Two check requests overlap: each waits for its own answer only. A
    // picture not inspected (dropped, the inspection full) answers its
    // request with false at once; a request whose picture never comes does
    // not end the other's wait, nor is it answered by the other's picture:
    // it waits on until the shut-down's cancel ends it.
    void overlappingCheckRequestsKeepTheirOwnAnswers_data()
    {
        QTest::addColumn<bool>("firstAnswered");
        QTest::addColumn<bool>("secondInspected");
        QTest::newRow("first never answered") << false << true;
        QTest::newRow("second picture dropped") << true << false;
    }

    void overlappingCheckRequestsKeepTheirOwnAnswers()
    {
        QFETCH(bool, firstAnswered);
        QFETCH(bool, secondInspected);
        // As long as a hang: an answered wait is told from one that ran out
        // however loaded the machine.
        constexpr int waitMs = int(kHangMs);
        f.config->setProperty(Config::CPT_Wait_Capture, waitMs);
        // The picture's width says whether its inspection takes it.
        CaptureBroker broker({[this] { return f.config.get(); }, [this] { return f.device.get(); }},
                             {[](const QImage &) {}, [](const QImage &image) { return image.width() == 2; },
                              [](qint64, std::chrono::steady_clock::time_point) { return QImage(); }});
        std::mutex lock;
        QList<int> tokens;
        connect(&broker, &CaptureBroker::capture, this, [&](const QVariant &token) {
            std::lock_guard<std::mutex> l(lock);
            tokens << token.toInt();
        }, Qt::DirectConnection);
        const auto asked = [&] {
            std::lock_guard<std::mutex> l(lock);
            return tokens;
        };
        const auto request = [&broker] {
            return std::async(std::launch::async, [&broker] {
                QElapsedTimer clock;
                clock.start();
                const bool done = broker.doCapture(2);
                return std::make_tuple(done, clock.elapsed(), std::chrono::steady_clock::now());
            });
        };
        auto first = request();
        QTRY_COMPARE_WITH_TIMEOUT(asked().size(), 1, kHangMs);
        auto second = request();
        QTRY_COMPARE_WITH_TIMEOUT(asked().size(), 2, kHangMs);
        // Both pictures come 300 ms later, the first one only if answered.
        const QList<int> both = asked();
        QTest::qWait(300);
        if (firstAnswered)
            broker.capturedLabelImage(both[0], QVariant::fromValue(QImage(2, 2, QImage::Format_RGB888)));
        broker.capturedLabelImage(both[1], QVariant::fromValue(QImage(secondInspected ? 2 : 1, 2, QImage::Format_RGB888)));
        while (second.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const auto [secondDone, secondMs, secondEnd] = second.get();
        QCOMPARE(secondDone, secondInspected);
        QVERIFY2(secondMs < waitMs, qPrintable(QString::number(secondMs)));
        const auto cancelledAt = std::chrono::steady_clock::now();
        if (!firstAnswered)
            broker.cancelWaits();
        const auto [firstDone, firstMs, firstEnd] = first.get();
        QCOMPARE(firstDone, firstAnswered);
        QVERIFY2(firstMs < waitMs, qPrintable(QString::number(firstMs)));
        if (!firstAnswered)
            QVERIFY(firstEnd >= cancelledAt);
        broker.joinLabelChecks();
    }

    void badCameraNumberIsRefused()
    {
        QVERIFY(!app()->doCapture(QVariant(0)));
        QVERIFY(!app()->doCapture(QVariant(QStringLiteral("x"))));
        QCOMPARE(m_camera->requests(), 0);
    }

    // The wiring to a camera object found by name in a real QML engine.
    void qmlCameraObjectIsWiredByName()
    {
        m_camera.reset(); // only the QML object answers now
        QQmlApplicationEngine engine;
        engine.loadData(R"(
            import QtQuick
            Item {
                Item {
                    Item {
                        objectName: "SpoolsmithCamera"
                        signal capture(var c)
                        signal capturedMarkImage(int id, var c)
                        signal capturedLabelImage(int id, var c)
                        onCapture: (c) => capturedMarkImage(c, null)
                    }
                }
            })");
        QCOMPARE(engine.rootObjects().size(), 1);
        app()->connectCamera(&engine);
        QVERIFY(captureOnThread(1));
        QCOMPARE(app()->lastMarkPosition(), QPointF());
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstCaptureSync)

#include "tst_capture_sync.moc"
