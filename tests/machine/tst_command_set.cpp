// Every command of the set against the simulator: the exact bytes on the
// wire, the result, and what the reply stores.
#include "tests/support/device_fixture.h"
#include "tests/support/fake_task_app.h"
#include "tests/support/hang_bound.h"
#include "tests/support/recording_prompt.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTest>

#include <cmath>
#include <functional>

using Call = std::function<bool(TRV610Plus &)>;
Q_DECLARE_METATYPE(Call)

class TestCommandSet : public QObject
{
    Q_OBJECT
    DeviceFixture f;

private slots:
    void init() { QVERIFY(f.setUp()); }
    void cleanup() { f.tearDown(); }

    void exactBytes_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("waited");
        const auto row = [](const char *payload, Call call, bool waited = true) {
            QTest::newRow(payload) << call << QByteArray(payload) << waited;
        };
        row("CCMD;1,0,0,0,0,0;", [](TRV610Plus &d) { return d.rDeviceInfo(); });
        row("CCMD;2,0,5;", [](TRV610Plus &d) { return d.cutterXClear(); });
        row("CCMD;2,0,4;", [](TRV610Plus &d) { return d.wRectifyMotorReset(); });
        row("CCMD;2,3,1;", [](TRV610Plus &d) { return d.wTirmMotorYReset(); }, false);
        row("CCMD;3;", [](TRV610Plus &d) { return d.rCutMotorStatus(); });
        row("CCMD;4,0,0,0;", [](TRV610Plus &d) { return d.rDevicePoint(); });
        row("CCMD;4,1,-40,120;", [](TRV610Plus &d) { return d.wDevicePoint(-40, 120); });
        row("CCMD;6,0,0,0;", [](TRV610Plus &d) { return d.rSpeed(); });
        row("CCMD;6,1,0,250;", [](TRV610Plus &d) { return d.wSpeed(250.0); });
        row("CCMD;6,1,0,12.5;", [](TRV610Plus &d) { return d.wSpeed(12.5); });
        row("CCMD;7,0,0,0;", [](TRV610Plus &d) { return d.rPressure(); });
        row("CCMD;7,1,0,90;", [](TRV610Plus &d) { return d.wPressure(90.0); });
        row("CCMD;9,0,0,0;", [](TRV610Plus &d) { return d.rScale(); });
        row("CCMD;9,0,0,0; (scale)", [](TRV610Plus &d) { return d.scale(); });
        row("CCMD;9,1,1.0000,0.5000;", [](TRV610Plus &d) { return d.wScale(1.0, 0.5); });
        row("CCMD;9,1,1.25,0.5;", [](TRV610Plus &d) { return d.setScale(1.25, 0.5); });
        row("CCMD;10,0,0;", [](TRV610Plus &d) { return d.rCutModel(); });
        row("CCMD;10,1,2;", [](TRV610Plus &d) { return d.wCutModel(2); });
        row("CCMD;11,0,0,0;", [](TRV610Plus &d) { return d.workArea(); });
        row("CCMD;11,1,300,401;", [](TRV610Plus &d) { return d.setWorkArea(QSizeF(299.6, 400.5)); });
        row("CCMD;12,0;", [](TRV610Plus &d) { return d.wPause(); });
        row("CCMD;12,1;", [](TRV610Plus &d) { return d.wResume(); });
        row("CCMD;12,2;", [](TRV610Plus &d) { return d.wStop(); });
        row("CCMD;12,2; (exit)", [](TRV610Plus &d) { return d.exitTask(); });
        row("CCMD;13,0,0,0,0,0;", [](TRV610Plus &d) { return d.rMarkLight(); });
        row("CCMD;13,1,0,55,0,0;", [](TRV610Plus &d) { return d.wMarkLight(55); });
        row("CCMD;13,0,1,0,0,0;", [](TRV610Plus &d) { return d.rCheckBackgroundLight(); });
        row("CCMD;13,1,1,60,0,0;", [](TRV610Plus &d) { return d.wCheckBackgroundLight(60); });
        row("CCMD;13,0,2,0,0,0;", [](TRV610Plus &d) { return d.rCheckLightStrip(); });
        row("CCMD;13,1,2,70,0,0;", [](TRV610Plus &d) { return d.wCheckLightStrip(70); });
        row("CCMD;13,0,3,0,0,0;", [](TRV610Plus &d) { return d.rRGBLightStrip(); });
        row("CCMD;13,1,3,10,20,30;", [](TRV610Plus &d) { return d.wRGBLightStrip(QColor(10, 20, 30)); });
        row("CCMD;15,-1,0;", [](TRV610Plus &d) { return d.wMoveX(-1); });
        row("CCMD;15,1,0;", [](TRV610Plus &d) { return d.wMoveX(1); });
        row("CCMD;15,0,-200;", [](TRV610Plus &d) { return d.wMoveY(-200); });
        row("CCMD;16,0;", [](TRV610Plus &d) { return d.wSaveToFactorySet(); });
        row("CCMD;17;", [](TRV610Plus &d) { return d.rSensor(); });
        row("CCMD;18,0,0;", [](TRV610Plus &d) { return d.rGyroscope(); });
        row("CCMD;20,1,0,0,30,0;", [](TRV610Plus &d) { return d.wFeedMotorSpeed(30); });
        row("CCMD;20,1,1,0,40,0;", [](TRV610Plus &d) { return d.wFilmMotorSpeed(40); });
        row("CCMD;20,0,2,0,0,0;", [](TRV610Plus &d) { return d.rRectifyMotor(); });
        row("CCMD;20,1,2,0,30,0.5;", [](TRV610Plus &d) { return d.wRectifyMotor(30, 0.5f); }, false);
        row("CCMD;20,0,3,0,0,0;", [](TRV610Plus &d) { return d.rCollectMotor(); });
        row("CCMD;20,1,3,0,30,100;", [](TRV610Plus &d) { return d.wCollectMotor(30, 100); });
        row("CCMD;20,0,4,0,0,0;", [](TRV610Plus &d) { return d.rTrimMotorX(); });
        row("CCMD;20,1,4,0,30,100;", [](TRV610Plus &d) { return d.wTrimMotorX(30, 100); });
        row("CCMD;20,0,4,1,0,0;", [](TRV610Plus &d) { return d.rTrimMotorY(); });
        row("CCMD;20,1,4,1,25,0;", [](TRV610Plus &d) { return d.wTrimMotorYSpeed(25); });
        row("CCMD;21;", [](TRV610Plus &d) { return d.rPrePltSend(); });
        row("CCMD;22,9,9;", [](TRV610Plus &d) {
            d.setPltData("IN;PU0,0;");
            return d.wPltSize();
        });
        row("PPLT;IN;PU0,0;", [](TRV610Plus &d) {
            d.setPltData("IN;PU0,0;");
            return d.wPlt();
        }, false);
    }
    void exactBytes()
    {
        QFETCH(Call, call);
        QFETCH(QByteArray, payload);
        QFETCH(bool, waited);
        RecordingPrompt prompt;
        QVERIFY(f.link());
        QVERIFY(call(*f.device));
        const QByteArray expected = payload.left(payload.indexOf(' ') < 0 ? payload.size() : payload.indexOf(' '));
        if (waited) {
            // A waited command returns after its reply: the payload is there already.
            QCOMPARE(f.sim->receivedPayloads(), QList<QByteArray>{expected});
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(), QList<QByteArray>{expected}, kHangMs);
        }
    }

    void factoryResetSendsTheSetUpAgain()
    {
        f.config->setCheckLight(30);
        f.config->setCheckBKLight(40);
        f.config->setMarkLight(50);
        QVERIFY(f.link());
        QVERIFY(f.device->wFactoryReset());
        const QList<QByteArray> expected{"CCMD;16,1;", "CCMD;1,0,0,0,0,0;", "CCMD;10,0,0;", "CCMD;6,0,0,0;",
                                         "CCMD;7,0,0,0;", "CCMD;13,1,2,30,0,0;", "CCMD;13,1,1,40,0,0;",
                                         "CCMD;13,1,0,50,0,0;"};
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(), expected, kHangMs);
    }

    void refusedPreconditionsSendNothing()
    {
        QVERIFY(f.link());
        QVERIFY(!f.device->wMoveX(2));
        f.device->changeDeviceState(TRV610Plus::DS_CollectRollerFull, 0);
        QVERIFY(!f.device->wMoveX(-1));
        QVERIFY(f.device->wMoveX(1));
        f.device->changeDeviceState(TRV610Plus::DS_CollectRollerLimit, 0);
        QVERIFY(!f.device->wMoveX(1));
        QVERIFY(!f.device->isMoveXAllowed()); // the direction stored last is now blocked
        QVERIFY(!f.device->wCollectMotor(1, 100));
        QVERIFY(f.device->wMoveX(0));
        QVERIFY(f.device->wCollectMotor(0, 100));
        QCOMPARE(f.sim->receivedPayloads(),
                 (QList<QByteArray>{"CCMD;15,1,0;", "CCMD;15,0,0;", "CCMD;20,1,3,0,0,100;"}));
        f.sim->clearReceived();

        // The pressure already reported is not sent again; the work area likewise.
        QVERIFY(f.device->rPressure());
        QVERIFY(f.device->wPressure(100.0));
        QVERIFY(f.device->workArea());
        QVERIFY(f.device->setWorkArea(f.device->storedWorkArea()));
        QCOMPARE(f.sim->receivedPayloads(), (QList<QByteArray>{"CCMD;7,0,0,0;", "CCMD;11,0,0,0;"}));
    }

    void readingsReachTheProperties()
    {
        QVERIFY(f.link());
        f.sim->updateState([](SimMachineState &s) {
            s.speed = "33";
            s.pressure = "120";
            s.cutModel = "2";
            s.sensors[0] = s.sensors[6] = true;
            s.gyroscopeHundredths = 250;
            s.printRoller = "55.5";
            s.filmRoller = "70";
            s.collectRoller = "80";
            s.posX = 400;
            s.posY = -40;
            s.workWidth = "300";
            s.workHeight = "400";
            s.firmware = "2.0.7";
        });
        QSignalSpy firmware(f.device.get(), &TRV610Plus::firmwareChanged);
        QVERIFY(f.device->rDeviceInfo() && f.device->rSpeed() && f.device->rPressure() && f.device->rCutModel()
                && f.device->rSensor() && f.device->rGyroscope() && f.device->rDevicePoint() && f.device->workArea());
        QCOMPARE(f.device->firmware(), QStringLiteral("2.0.7"));
        QCOMPARE(f.device->devType(), QStringLiteral("TRV610Plus"));
        QCOMPARE(firmware.count(), 1);
        QCOMPARE(f.device->speed(), 33);
        QCOMPARE(f.device->pressure(), 120);
        QCOMPARE(f.device->cutModel(), 2);
        QVERIFY(f.device->sensor1() && !f.device->sensor2() && f.device->sensor7());
        QCOMPARE(f.device->gyroscope(), 2.5);
        QCOMPARE(f.device->printRoller(), 55.5);
        QCOMPARE(f.device->filmRoller(), 70.0);
        QCOMPARE(f.device->collectRoller(), 80.0);
        QCOMPARE(f.device->devicePosition(), QPointF(400, -40));
        QCOMPARE(f.device->storedWorkArea(), QSizeF(300, 400));

        // Motor states for the collect cycle; the rectify read also gives the length.
        f.sim->setReplyHandler(20, [](const QStringList &a, SimMachineState &) {
            return SimReply{{simReplyPayload(20, {a[1], a[2], a[3], "0", "12.5", a[2] == "2" ? "3" : "4"})}, 0};
        });
        QVERIFY(f.device->rRectifyMotor() && f.device->rCollectMotor() && f.device->rTrimMotorY());
        QCOMPARE(f.device->rectifyMotorState(), 3);
        QCOMPARE(f.device->rectifyLength(), 12.5);
        QCOMPARE(f.device->collectMotorState(), 4);
        QCOMPARE(f.device->trimYMotorState(), 4);
        QCOMPARE(f.device->trimXMotorState(), 0);
    }

    void nonFiniteAndGarbledReadingsAreRefused()
    {
        QVERIFY(f.link());
        f.sim->updateState([](SimMachineState &s) { s.filmRoller = "70"; });
        QVERIFY(f.device->rGyroscope());
        const double before = f.device->filmRoller();
        for (const char *bad : {"nan", "inf", "-inf", "7x", ""}) {
            f.sim->updateState([bad](SimMachineState &s) { s.filmRoller = QString::fromLatin1(bad); });
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused reading"));
            QVERIFY2(!f.device->rGyroscope(), bad);
            QCOMPARE(f.device->filmRoller(), before);
        }
        // A position report with NaN keeps the last position.
        QVERIFY(f.device->rDevicePoint());
        const QPointF position = f.device->devicePosition();
        f.sim->setReplyHandler(4, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(4, {"0", "nan", "5"})}, 0};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused reading"));
        QVERIFY(!f.device->rDevicePoint());
        QCOMPARE(f.device->devicePosition(), position);
        // Upload progress that is not a percentage moves nothing.
        f.sim->sendToAll("UPG;1,0,35;");
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 35.0f, kHangMs);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused progress"));
        f.sim->sendToAll("UPG;1,0,nan;");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused progress"));
        f.sim->sendToAll("UPG;1,0,250;");
        QVERIFY(f.device->rSpeed()); // both progress frames were read before its reply
        QCOMPARE(f.device->updateProgress(), 35.0f);
    }

    void nonZeroStatusWithRightShapeIsAccepted()
    {
        QVERIFY(f.link());
        f.sim->setReplyHandler(6, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(6, {"0", "0", "44"}, 3)}, 0};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::dealReturn failed"));
        QVERIFY(f.device->rSpeed());
        QCOMPARE(f.device->speed(), 44);
        // The wrong number of fields is refused whatever the status.
        f.sim->setReplyHandler(6, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(6, {"0", "45"})}, 0};
        });
        QVERIFY(!f.device->rSpeed());
        QCOMPARE(f.device->speed(), 44);
    }

    void garbageAndLateRepliesSetNothingWrong()
    {
        QVERIFY(f.link());
        QVERIFY(f.device->rSpeed());
        // Noise that looks like a speed reply of the wrong shape, a cut-off
        // frame, then the real answer.
        f.sim->sendRawToAll(QByteArray("\x02" "20;CMD;6,0,1;\x03", 15));
        f.sim->sendRawToAll(QByteArray("\x02" "99;CMD;6,0,0,0,77", 18));
        f.sim->setFault(SimFault::Garbage);
        QVERIFY(f.device->rPressure());
        QCOMPARE(f.device->speed(), 10);
        f.sim->setFault(SimFault::None);

        // A late pause answer arrives while a stop waits: the stop is not woken by it.
        f.sim->setReplyHandler(12, [](const QStringList &a, SimMachineState &) {
            return SimReply{{simReplyPayload(12, {a[1]})}, a[1] == "0" ? 700 : 200};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QVERIFY(!f.device->wPause());
        QVERIFY(f.device->wStop()); // its own answer after 200 ms, the late pause after it
        QCOMPARE(f.device->taskStatus(), 2);
    }

    void compositeMovesAndOrigin()
    {
        RecordingPrompt prompt;
        // The driver's messages reach the operator through the application.
        FakeTaskApp app;
        app.install(f.device.get());
        const auto uninstall = qScopeGuard([&] { app.uninstall(); });
        QVERIFY(f.link());
        f.config->setMarkCameraOffsetX(10.5);
        f.config->setMarkCameraOffsetY(-2.01);
        f.device->moveOffset();
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;4,1,420,-80;"));

        // No origin yet.
        f.device->gotoOrigin();
        QCOMPARE(f.device->errorMessage(), QStringLiteral("未设置原点"));
        f.sim->updateState([](SimMachineState &s) {
            s.posX = 1000;
            s.posY = 200;
        });
        f.device->setOrigin();
        QCOMPARE(f.device->origin(), QPointF(1000, 200));
        QCOMPARE(prompt.shown.size(), 1);
        f.sim->updateState([](SimMachineState &s) {
            s.posX = 1500;
            s.posY = -100;
        });
        f.sim->clearReceived();
        f.device->gotoOrigin();
        QCOMPARE(f.sim->receivedPayloads(),
                 (QList<QByteArray>{"CCMD;3;", "CCMD;4,0,0,0;", "CCMD;4,1,-500,300;"}));

        // The cutter busy: refused with the message.
        f.device->setErrorMessage(QString());
        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 1; });
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::setOrigin"));
        f.device->setOrigin();
        QCOMPARE(f.device->errorMessage(), QStringLiteral("请检查设备状态"));

        // A move as plot data: announced, then sent.
        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 0; });
        f.sim->clearReceived();
        QVERIFY(f.device->wDevicePoint(QPointF(10.5, -3.5)));
        const QByteArray hpgl = "IN;PA;SP2;PU11,-4;PG;PG;";
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(),
                                  (QList<QByteArray>{"CCMD;21;", "CCMD;22,24,24;", "PPLT;" + hpgl}), kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->state().plotsCut, 1, kHangMs);
    }

    void cutterBusyWhilePlotRunsInEitherOrder()
    {
        QVERIFY(f.link());
        f.sim->updateState([](SimMachineState &s) { s.plotDurationMs = 300; });
        f.device->setPltData("IN;PA;PU0,0;PD0,4000;PU;PG;");
        // "22" then "21".
        QVERIFY(f.device->wPltSize() && f.device->rPrePltSend() && f.device->wPlt());
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->state().plotsCut, 1, kHangMs);
        QVERIFY(f.device->rCutMotorStatus());
        QCOMPARE(f.device->cutMotorStatus(), 1);
        QVERIFY(f.device->plotting());
        QTRY_VERIFY_WITH_TIMEOUT(f.device->rCutMotorStatus() && f.device->cutMotorStatus() == 0, kHangMs);
        QVERIFY(!f.device->plotting());
        // "21" then "22".
        QVERIFY(f.device->rPrePltSend() && f.device->wPltSize() && f.device->wPlt());
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->state().plotsCut, 2, kHangMs);
        // Plot data nobody announced is not cut.
        QVERIFY(f.device->wPlt());
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->state().plotsRejected, 1, kHangMs);
    }

    void unsolicitedAxisLimitReport()
    {
        QVERIFY(f.link());
        QSignalSpy spy(f.device.get(), &TRV610Plus::deviceStateChanged);
        f.sim->reportAxisLimit(0, 3500);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kHangMs);
        QVERIFY(f.device->hasDeviceState(TRV610Plus::DS_AxisLimit));
        QCOMPARE(f.device->limitText(), QStringLiteral("X轴限位 23,0,3500"));
    }
};

QTEST_GUILESS_MAIN(TestCommandSet)
#include "tst_command_set.moc"
