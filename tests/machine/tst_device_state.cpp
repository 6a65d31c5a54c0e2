#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <future>

class TestDeviceState : public QObject
{
    Q_OBJECT
    DeviceFixture f;

private slots:
    void init() { QVERIFY(f.setUp()); }
    void cleanup() { f.tearDown(); }

    void initialValuesFollowTheSettings()
    {
        f.device.reset();
        f.config->setPrintRollerTrigger(42.5);
        f.config->setGyroscopeTrigger(3.5);
        f.device = std::make_unique<TRV610Plus>();
        QCOMPARE(f.device->printRoller(), 42.5);
        QCOMPARE(f.device->gyroscope(), 3.5);
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(f.device->index(), 2);
        QCOMPARE(f.device->speed(), 10);
        QCOMPARE(f.device->pressure(), 100);
        QCOMPARE(f.device->progress(), QStringLiteral("0"));
        QVERIFY(f.device->polling());
        QVERIFY(!f.device->rgbLightStrip().isValid());
    }

    void settersSignalOnlyOnChange()
    {
        QSignalSpy error(f.device.get(), &TRV610Plus::errorMessageChanged);
        f.device->setErrorMessage(QStringLiteral("a"));
        f.device->setErrorMessage(QStringLiteral("a"));
        QCOMPARE(error.count(), 1);

        QSignalSpy roller(f.device.get(), &TRV610Plus::filmRollerChanged);
        f.device->setFilmRoller(50.0);
        f.device->setFilmRoller(50.0 * (1 + 1e-14)); // below the tolerance
        QCOMPARE(roller.count(), 1);
        f.device->setFilmRoller(50.001);
        QCOMPARE(roller.count(), 2);

        QSignalSpy status(f.device.get(), &TRV610Plus::taskStatusChanged);
        f.device->setTaskStatus(2);
        QCOMPARE(status.count(), 0);
        f.device->setTaskStatus(1);
        QCOMPARE(status.count(), 1);

        QSignalSpy polling(f.device.get(), &TRV610Plus::pollingChanged);
        f.device->setPolling(f.device->polling()); // unchanged
        QCOMPARE(polling.count(), 0);
    }

    void bannerTextInTableOrder()
    {
        f.config->setEnableScanAndTrim(false);
        QVERIFY(f.link());
        f.sim->sendToAll("CMD;23,1,120;");
        QTRY_VERIFY_WITH_TIMEOUT(f.device->deviceState() & TRV610Plus::DS_AxisLimit, kHangMs);
        f.device->changeDeviceState(TRV610Plus::DS_Gyroscope | TRV610Plus::DS_DefectFailed, 0);
        QCOMPARE(f.device->deviceStateString(), QStringLiteral("Y轴限位 23,1,120 排废限位  缺陷检测失败 "));
        f.config->setEnableScanAndTrim(true);
        f.device->changeDeviceState(TRV610Plus::DS_Rectify, TRV610Plus::DS_DefectFailed);
        QVERIFY(f.device->deviceStateString().endsWith(QStringLiteral(" 送纸限位  纠偏错误 ")));

        // A new connection clears the bits and the old axis-limit text.
        f.device->setIp(QString());
        QVERIFY(f.link());
        QCOMPARE(f.device->deviceState(), 0ull);
        QCOMPARE(f.device->deviceStateString(), QString());
    }

    void concurrentBitWritersLoseNothing()
    {
        auto flip = [&](qulonglong bit) {
            for (int i = 0; i < 2000; ++i) {
                f.device->changeDeviceState(bit, 0);
                f.device->changeDeviceState(0, bit);
            }
            f.device->changeDeviceState(bit, 0);
        };
        auto a = std::async(std::launch::async, flip, TRV610Plus::DS_PrintRollerLimit);
        auto b = std::async(std::launch::async, flip, TRV610Plus::DS_Rectify);
        flip(TRV610Plus::DS_AxisLimit);
        a.get();
        b.get();
        QCOMPARE(f.device->deviceState(),
                 qulonglong(TRV610Plus::DS_PrintRollerLimit | TRV610Plus::DS_Rectify | TRV610Plus::DS_AxisLimit));
    }
};

QTEST_GUILESS_MAIN(TestDeviceState)
#include "tst_device_state.moc"
