// Task control against the machine simulator: start checks, the busy rule,
// pause, resume and stop with the machine's task-status reports, and the
// copy count.
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "app/spoolsmith_app.h"
#include "app/records/production_records.h"
#include "app/task/task_control.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "platform/named_objects/object_name.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QLoggingCategory>
#include <mutex>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

std::mutex g_logLock;
QStringList g_log;
QtMessageHandler g_previous = nullptr;

void recordLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        g_log.append(message);
    }
    if (g_previous && type >= QtWarningMsg)
        g_previous(type, context, message);
}

bool logged(const QString &part)
{
    std::lock_guard<std::mutex> lock(g_logLock);
    for (const QString &line : g_log) {
        if (line.contains(part))
            return true;
    }
    return false;
}

void clearLog()
{
    std::lock_guard<std::mutex> lock(g_logLock);
    g_log.clear();
}

const QString kNoCopies = QStringLiteral("任务份数不能为0 \n");
const QString kNoPrintFile = QStringLiteral("打印文件未打开 \n");
const QString kNoMachine = QStringLiteral("设备未连接，请重启设备或者选择设备 \n");
const QString kBusy = QStringLiteral("机器繁忙，请稍后重试");
const QString kRetry = QStringLiteral("请稍后重试 \n");
const QString kPrintOff = QStringLiteral("打印已禁用，不能开始只打印的任务 \n");
const QString kPresetPrinted = QStringLiteral("打印份数已完成，请清零后再开始 \n");

} // namespace

class TestTaskControl : public QObject
{
    Q_OBJECT
    DeviceFixture f;

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    // A job as the job engine leaves it once started.
    void runJob()
    {
        f.device->setTaskStatus(1);
        app()->setTaskStatus(1);
    }
    // A printed batch known by its page code, looked up as a page search
    // does; 0 when the store gave no code or does not know it.
    quint32 printedBatch()
    {
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 1);
        app()->setTaskStatus(1);
        app()->beginWorkRecord();
        const int code = app()->updatePrintRecord(3, 1);
        app()->setTaskStatus(2);
        if (code <= 0)
            return 0;
        app()->setPageCode(quint32(code));
        return app()->lookUpPageCode(quint32(code)) ? quint32(code) : 0;
    }
    // The cutter mid-page: plot data sent and the machine reporting state.
    bool cutterPlotting(int motorState)
    {
        f.sim->updateState([motorState](SimMachineState &s) { s.cutMotorStatus = motorState; });
        f.device->setPltData(QByteArrayLiteral("IN;PU0,0;PD400,0;PU;"));
        return f.device->wPlt() && f.device->plotting();
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        g_previous = qInstallMessageHandler(recordLog);
    }
    void cleanupTestCase() { qInstallMessageHandler(g_previous); }

    void init()
    {
        clearLog();
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        f.config->setProperty(Config::CPT_Enable_Print, false);
        QVERIFY(f.startSimulator());
        f.makeDevice(DeviceFixture::Driver::Registered);
        app()->loadTaskSettings();
        app()->setCutTaskCopies(100);
        app()->setPrintTaskCopies(100);
        app()->reCount();
        app()->setTaskStatus(2);
        app()->setPrinterName(QString());
        app()->setPrintPreview(QImage());
        app()->setPageCode(0);
    }
    void cleanup()
    {
        app()->joinControlThreads();
        QCOMPARE(app()->controlThreadCount(), 0);
        f.device->unInit();
        f.tearDown();
    }

    void startChecksJoinTheirMessagesInOrder()
    {
        // Unlinked, no copies, printing on without a print file.
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->loadTaskSettings();
        app()->setCutTaskCopies(0);
        app()->setPrintTaskCopies(0);
        QVERIFY(!app()->isAllowedStart());
        // Print copies 0: the print-file check does not apply.
        QCOMPARE(f.device->errorMessage(), kNoCopies + kNoMachine);

        app()->setPrintTaskCopies(0);
        app()->setCutTaskCopies(0);
        f.device->setErrorMessage(QString());
        app()->setPrintTaskCopies(1);
        app()->setCutTaskCopies(0);
        QVERIFY(!app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), kNoPrintFile + kNoMachine);

        // The print component brings its own document.
        f.device->setErrorMessage(QString());
        app()->setPrinterName(QStringLiteral("CorelDRAW"));
        QVERIFY(!app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), kNoMachine);
    }

    void eachStartCheckAloneGivesItsLine()
    {
        QVERIFY(f.link());
        app()->setCutTaskCopies(0);
        app()->setPrintTaskCopies(0);
        QVERIFY(!app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), kNoCopies);

        // Print-only with printing switched off: nothing would ever end it.
        f.device->setErrorMessage(QString());
        app()->setPrintTaskCopies(5);
        app()->startTask(false, false);
        QCOMPARE(f.device->errorMessage(), kPrintOff);
        QVERIFY(f.device->idle());

        f.device->setErrorMessage(QString());
        app()->setCutTaskCopies(1);
        app()->setPrintTaskCopies(1);
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->loadTaskSettings();
        QVERIFY(!app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), kNoPrintFile);

        // With a print preview every check passes.
        f.device->setErrorMessage(QString());
        QImage page(10, 10, QImage::Format_RGB32);
        page.fill(Qt::white);
        app()->setPrintPreview(page);
        QVERIFY(app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), QString());

        // The print preset printed and nothing owed to the cutter: a job
        // would end at once.
        app()->setPrintCopies(1);
        QVERIFY(!app()->isAllowedStart());
        QCOMPARE(f.device->errorMessage(), kPresetPrinted);
    }

    void refusedStartRestoresTheTaskSettings()
    {
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->setCutCopies(4);
        app()->setSegmentX(7);
        app()->startTask(true, true); // unlinked; a trial copy prints nothing
        QCOMPARE(f.device->errorMessage(), kNoMachine);
        QVERIFY(!app()->runOnce());
        QVERIFY(app()->taskEnablePrint());
        QCOMPARE(app()->cutCopies(), 4);
        QCOMPARE(app()->segmentX(), 7);
        QCOMPARE(f.sim->receivedPayloads().size(), 0);
    }

    void startWhileRunningChangesNothing()
    {
        QVERIFY(f.link());
        // A trial copy is running: its run-once mode and counts must stay.
        app()->startTask(false, true);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->taskStatus(), 1, kHangMs);
        const bool once = app()->runOnce();
        QVERIFY(once);
        app()->setCutCopies(3);
        app()->setSegmentX(5);
        app()->setMarkIndex(2);
        const QDateTime stamp = app()->printWorkRecord().timestamp;
        // Not reloaded into the running job.
        f.config->setProperty(Config::CPT_Enable_Print, true);

        app()->startTask(true, false);
        QCOMPARE(f.device->errorMessage(), kBusy);
        QCOMPARE(app()->runOnce(), once);
        QVERIFY(!app()->taskEnablePrint());
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(app()->segmentX(), 5);
        QCOMPARE(app()->markIndex(), 2);
        QCOMPARE(app()->printWorkRecord().timestamp, stamp);
        QVERIFY(!f.device->idle());
    }

    void acceptedStartResetsTheJob()
    {
        QVERIFY(f.link());
        app()->setCutCopies(9);
        app()->setPrintCopies(2);
        app()->setCheckedCopies(1);
        app()->setSegmentX(-1);
        app()->setMarkIndex(0);
        QSignalSpy segment(app(), &SpoolsmithApp::segmentXChanged);
        const QDateTime beforeStart = QDateTime::currentDateTime();
        app()->startTask(true, false);
        const QDateTime afterStart = QDateTime::currentDateTime();
        QCOMPARE(f.device->errorMessage(), QString());
        QCOMPARE(app()->cutCopies(), 0);
        QCOMPARE(app()->printCopies(), 0);
        QCOMPARE(app()->checkedCopies(), 0);
        QCOMPARE(app()->segmentX(), 0);
        QCOMPARE(segment.count(), 1);
        QCOMPARE(app()->markIndex(), 1);
        QCOMPARE(app()->cutLength(), 0.0);
        // The start sequence read the rollers (80 on the simulator).
        QCOMPARE(app()->printRollerAtStart(), f.device->printRoller());
        QCOMPARE(app()->filmRollerAtStart(), f.device->filmRoller());
        // Stamped by this start, however long a loaded machine took over it.
        const QDateTime stamp = app()->printWorkRecord().timestamp;
        QVERIFY2(stamp >= beforeStart && stamp <= afterStart, qPrintable(stamp.toString(Qt::ISODateWithMs)));
        QTRY_COMPARE_WITH_TIMEOUT(f.device->taskStatus(), 1, kHangMs);
    }

    void pauseAndResumeWithoutAJobAreRefused()
    {
        QVERIFY(f.link());
        app()->pauseTask(true);
        app()->resumeTask(true);
        QVERIFY(logged(QStringLiteral("SpoolsmithApp::pauseTask")));
        QVERIFY(logged(QStringLiteral("SpoolsmithApp::resumeTask")));
        QCOMPARE(f.sim->receivedPayloads().size(), 0);
        QCOMPARE(app()->taskStatus(), 2);
        QCOMPARE(f.device->taskStatus(), 2);
    }

    void pauseOfAnIdleCutterSendsNoCommand()
    {
        QVERIFY(f.link());
        runJob();
        QSignalSpy status(app(), &SpoolsmithApp::taskStatusChanged);
        app()->pauseTask(false);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 0, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(!app()->controlBusy(), kHangMs);
        QCOMPARE(f.device->taskStatus(), 0);
        QCOMPARE(f.sim->commandCount(3), 1);
        QCOMPARE(f.sim->commandCount(12), 0);
        QVERIFY(status.count() >= 1);
    }

    void pauseResumeStopFollowTheMachine()
    {
        QVERIFY(f.link());
        runJob();
        QVERIFY(cutterPlotting(1));
        f.sim->clearReceived();

        app()->pauseTask(true);
        QCOMPARE(f.sim->commandCount(12), 1);
        QVERIFY(f.sim->receivedPayloads().contains(QByteArrayLiteral("CCMD;12,0;")));
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 0, kHangMs);

        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 2; });
        app()->resumeTask(true);
        QCOMPARE(f.sim->commandCount(12), 2);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 1, kHangMs);
        QCOMPARE(f.device->taskStatus(), 1);

        // A trial copy's mode ends with a successful stop.
        QVERIFY(!app()->runOnce());
        app()->stopTask(true);
        QCOMPARE(f.sim->commandCount(12), 3);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(f.device->errorMessage(), QString());
    }

    void machineReportsMoveTheTaskStatus()
    {
        QVERIFY(f.link());
        runJob();
        QSignalSpy status(app(), &SpoolsmithApp::taskStatusChanged);
        // The machine paused on its own (e.g. a key on the machine).
        f.sim->sendToAll(simReplyPayload(12, {QStringLiteral("0")}));
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 0, kHangMs);
        f.sim->sendToAll(simReplyPayload(12, {QStringLiteral("2")}));
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        // The status is stored just before it is told, on the link's thread.
        QTRY_VERIFY_WITH_TIMEOUT(status.count() >= 2, kHangMs);
    }

    void failedPauseLeavesTheStatusAndClearsBusy()
    {
        // The unanswered commands wait this out; the answered ones get their
        // reply within it many times over however loaded the machine.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 2000);
        QVERIFY(f.link());
        runJob();
        QVERIFY(cutterPlotting(1));
        f.sim->setFault(SimFault::NoReply);
        // rCutMotorStatus fails too: the body ends before changing anything.
        app()->pauseTask(true);
        QVERIFY(logged(QStringLiteral("rCutMotorStatus failed")));
        QCOMPARE(f.device->taskStatus(), 1);
        QCOMPARE(app()->taskStatus(), 1);
        QVERIFY(!app()->controlBusy());

        // Only the pause command goes unanswered.
        f.sim->setFault(SimFault::None);
        f.sim->setReplyHandler(12, [](const QStringList &, SimMachineState &) { return SimReply{}; });
        app()->pauseTask(true);
        QVERIFY(logged(QStringLiteral("wPause failed, 请稍后重试")));
        QCOMPARE(f.device->errorMessage(), kRetry);
        QCOMPARE(app()->taskStatus(), 1);
        QCOMPARE(f.device->taskStatus(), 0);
        QVERIFY(!app()->controlBusy());
    }

    void stopDuringAPauseIsRefusedButAnInternalStopWaits()
    {
        QVERIFY(f.link());
        runJob();
        QVERIFY(cutterPlotting(1));
        f.sim->clearReceived();
        // The pause command is answered late: the pause body stays busy.
        f.sim->setReplyHandler(12, [](const QStringList &args, SimMachineState &s) {
            s.taskStatus = args.value(1);
            SimReply reply;
            reply.payloads = {simReplyPayload(12, {s.taskStatus})};
            reply.delayMs = args.value(1) == QLatin1String("0") ? 300 : 0;
            return reply;
        });
        app()->pauseTask(false);
        QTRY_VERIFY_WITH_TIMEOUT(app()->controlBusy(), kHangMs);

        // The operator's stop is refused and sends nothing.
        app()->stopTask(false);
        QCOMPARE(f.device->errorMessage(), kRetry);
        QVERIFY(logged(QStringLiteral("正在执行,请稍后重试")));

        // A stop from the job's own thread is not lost.
        std::thread job([this] { app()->stopTask(true); });
        job.join();
        QCOMPARE(f.sim->commandCount(12), 2);
        QCOMPARE(f.sim->receivedPayloads().last(), QByteArrayLiteral("CCMD;12,2;"));
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        QCOMPARE(f.device->taskStatus(), 2);
        QVERIFY(!app()->controlBusy());
    }

    // A pause body that outlasts the internal stop's wait: the stop still
    // waits for it to end, so the pause can neither clear the busy flag
    // mid-stop nor leave its status behind the stop's.
    void internalStopWaitsOutALongPause()
    {
        QVERIFY(f.link());
        runJob();
        AppServices services{[this] { return f.config.get(); }, [this] { return f.device.get(); }};
        TaskSettings settings(services);
        TaskCounters counters;
        ProductionRecords records(services, [] { return 1; });
        TaskControl::Hooks hooks;
        hooks.taskStatus = [] { return 1; };
        hooks.setTaskStatus = [](int) {};
        hooks.printFileMissing = [] { return false; };
        hooks.prepareRun = [] {};
        hooks.cutPageHeight = [] { return 0.0; };
        hooks.guiThread = QThread::currentThread();
        hooks.internalStopWait = std::chrono::milliseconds(100);
        TaskControl control(services, settings, counters, records, hooks);
        // The pause asks the cutter first; the machine answers it late.
        f.sim->setReplyHandler(3, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(3, {"0"})}, 400};
        });
        f.sim->clearReceived();
        control.control(TaskControl::Kind::Pause, false);
        QVERIFY(control.busy());
        std::thread job([&] { control.control(TaskControl::Kind::Stop, true); });
        job.join();
        control.joinControlThreads();
        const QList<QByteArray> sent = f.sim->receivedPayloads();
        QVERIFY(!sent.isEmpty());
        QCOMPARE(sent.last(), QByteArrayLiteral("CCMD;12,2;"));
        QCOMPARE(f.device->taskStatus(), 2);
        QVERIFY(!control.busy());
        QVERIFY(logged(QStringLiteral("pause or resume still running, waiting for it to end")));
    }

    void copiesAreCountedOncePerCopy()
    {
        const quint32 code = printedBatch();
        QVERIFY(code > 0);

        app()->setCutTaskCopies(3);
        app()->setPrintTaskCopies(0);
        const int today = f.config->todayCopies();
        const quint64 total = f.config->totalCopies();
        QSignalSpy copies(app(), &SpoolsmithApp::cutCopiesChanged);
        QVERIFY(app()->finishedOneCopies());
        QVERIFY(app()->finishedOneCopies());
        QVERIFY(!app()->finishedOneCopies());
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(copies.count(), 3);
        QCOMPARE(f.config->todayCopies(), today + 3);
        QCOMPARE(f.config->totalCopies(), total + 3);
        QCOMPARE(app()->printWorkRecord().cutCnt, 3u);
        TaskRecord batch;
        QVERIFY(f.config->db().findTaskRecordByCode(code, batch));
        QCOMPARE(batch.cutCopies, 3u);
    }

    void copyResultsFollowThePresets()
    {
        // Print-only: nothing counted, the printed copies decide.
        app()->setCutTaskCopies(0);
        app()->setPrintTaskCopies(5);
        app()->setPrintCopies(4);
        const int today = f.config->todayCopies();
        QVERIFY(app()->finishedOneCopies());
        app()->setPrintCopies(5);
        QVERIFY(!app()->finishedOneCopies());
        QCOMPARE(app()->cutCopies(), 0);
        QCOMPARE(f.config->todayCopies(), today);

        // The job ends with the printed copies.
        app()->setCutTaskCopies(10);
        app()->setCutCopies(2);
        QVERIFY(!app()->finishedOneCopies());
        QCOMPARE(app()->cutCopies(), 3);

        // No print preset: cutting goes on until the cut preset.
        app()->setPrintTaskCopies(0);
        QVERIFY(app()->finishedOneCopies());
    }

    // A job counts what it does: its kind is fixed at its start, and a cut
    // preset changed meanwhile only decides when a cutting job ends.
    void jobCountsWhatItDoes_data()
    {
        QTest::addColumn<int>("cutAtStart");
        QTest::addColumn<int>("printAtStart");
        QTest::addColumn<int>("cutMidJob");
        QTest::addColumn<int>("counted");
        QTest::addColumn<bool>("due");
        QTest::newRow("print only, cut preset 5 set") << 0 << 3 << 5 << 0 << true;
        QTest::newRow("print and cut, cut preset 0 set") << 3 << 0 << 0 << 1 << true;
        QTest::newRow("print and cut, cut preset 1 set") << 3 << 0 << 1 << 1 << false;
    }
    void jobCountsWhatItDoes()
    {
        QFETCH(int, cutAtStart);
        QFETCH(int, printAtStart);
        QFETCH(int, cutMidJob);
        QFETCH(int, counted);
        QFETCH(bool, due);
        f.config->setProperty(Config::CPT_Wait_Capture, 100);
        QVERIFY(f.link());
        // A print-only job starts only with printing on.
        f.config->setProperty(Config::CPT_Enable_Print, cutAtStart == 0);
        app()->setPrinterName(QStringLiteral("CorelDRAW"));
        app()->setCutTaskCopies(cutAtStart);
        app()->setPrintTaskCopies(printAtStart);
        app()->startTask(true, false);
        QCOMPARE(f.device->errorMessage(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 1, kHangMs);

        app()->setCutTaskCopies(cutMidJob);
        const int today = f.config->todayCopies();
        // The next page's count, as the job's own copy step makes it.
        QCOMPARE(app()->finishedOneCopies(), due);
        QCOMPARE(app()->cutCopies(), counted);
        QCOMPARE(f.config->todayCopies(), today + counted);
        QCOMPARE(int(app()->printWorkRecord().cutCnt), counted);
        app()->stopTask(true);
    }

    // Job A cut copies of a batch known by its page code; job B, whose pages
    // are never searched for a code (a cut file of one mark), counts on its
    // own records only.
    void aJobWithoutPageCodesLeavesTheEarlierBatch()
    {
        f.config->setProperty(Config::CPT_Wait_Capture, 100);
        QVERIFY(f.link());
        const quint32 code = printedBatch();
        QVERIFY(code > 0);
        QVERIFY(app()->finishedOneCopies());
        TaskRecord batch;
        QVERIFY(f.config->db().findTaskRecordByCode(code, batch));
        QCOMPARE(batch.cutCopies, 1u);

        app()->setCutTaskCopies(5);
        app()->setPrintTaskCopies(0);
        app()->startTask(true, false);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 1, kHangMs);
        QCOMPARE(app()->pageCode(), 0u);
        for (int copy = 0; copy < 2; ++copy)
            QVERIFY(app()->finishedOneCopies());
        QCOMPARE(app()->cutCopies(), 2);
        QCOMPARE(app()->printWorkRecord().cutCnt, 2u);
        QVERIFY(f.config->db().findTaskRecordByCode(code, batch));
        QCOMPARE(batch.cutCopies, 1u);
        QCOMPARE(app()->taskRecord().cutCopies, 0u);
        app()->stopTask(true);
    }

    // Job A printed three pages and was stopped before any was cut; job B
    // cuts them first, then prints and cuts one of its own: each cut counts
    // on the job that printed the page, by its page code or, without codes,
    // as a page left over from before.
    void cutsCountOnTheJobThatPrintedThePage_data()
    {
        QTest::addColumn<bool>("codes");
        QTest::newRow("pages with codes") << true;
        QTest::newRow("pages without codes") << false;
    }
    void cutsCountOnTheJobThatPrintedThePage()
    {
        QFETCH(bool, codes);
        f.config->setProperty(Config::CPT_Wait_Capture, 100);
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, codes ? 1 : 0);
        QVERIFY(f.link());
        app()->setCutTaskCopies(10);
        app()->setPrintTaskCopies(0);
        const auto printPage = [this] {
            const int code = app()->updatePrintRecord(1, -1);
            app()->setPrintCopies(app()->printCopies() + 1);
            return quint32(code);
        };
        const auto cutPage = [this](quint32 code) {
            app()->setPageCode(code);
            if (code != 0)
                app()->lookUpPageCode(code);
            return app()->finishedOneCopies();
        };
        const auto runJob = [this](bool recount) {
            QTRY_VERIFY_WITH_TIMEOUT(f.device->idle(), kHangMs);
            app()->startTask(recount, false);
            QCOMPARE(f.device->errorMessage(), QString());
            QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 1, kHangMs);
        };

        runJob(true);
        QList<quint32> pagesOfA;
        for (int page = 0; page < 3; ++page)
            pagesOfA << printPage();
        const QDateTime jobA = app()->printWorkRecord().timestamp;
        app()->stopTask(true);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);

        runJob(false);
        for (const quint32 code : pagesOfA)
            QVERIFY(cutPage(code));
        QVERIFY(cutPage(printPage()));
        QCOMPARE(app()->cutCopies(), 4);
        QCOMPARE(app()->printWorkRecord().cutCnt, 1u);
        if (codes) {
            WorkRecord a;
            QVERIFY(f.config->db().findWorkRecordByTimestamp(jobA, a));
            QCOMPARE(a.printCnt, 3u);
            QCOMPARE(a.cutCnt, 3u);
            WorkRecord b;
            QVERIFY(f.config->db().findWorkRecordByTimestamp(app()->printWorkRecord().timestamp, b));
            QCOMPARE(b.printCnt, 1u);
            QCOMPARE(b.cutCnt, 1u);
        }
        app()->stopTask(true);
    }

    void trialCopyIsNotCounted_data()
    {
        QTest::addColumn<bool>("pausedSettingChange");
        QTest::newRow("straight") << false;
        QTest::newRow("setting changed while paused") << true;
    }
    void trialCopyIsNotCounted()
    {
        QFETCH(bool, pausedSettingChange);
        QVERIFY(f.link());
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->setPrinterName(QStringLiteral("CorelDRAW"));
        app()->startTask(false, true);
        QVERIFY(app()->runOnce());
        QVERIFY(!app()->taskEnablePrint());
        if (pausedSettingChange) {
            // A paused trial copy stays a trial copy: no printing comes back.
            app()->pauseTask(true);
            QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 0, kHangMs);
            app()->onPropertyChanged(Config::CPT_Enable_Print, true);
            app()->resumeTask(true);
            QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 1, kHangMs);
            QVERIFY(app()->runOnce());
            QVERIFY(!app()->taskEnablePrint());
        }
        const int today = f.config->todayCopies();
        QVERIFY(!app()->finishedOneCopies());
        QCOMPARE(f.config->todayCopies(), today);
        QCOMPARE(app()->cutCopies(), 0);
        QVERIFY(!app()->runOnce());
        QVERIFY(app()->taskEnablePrint());
    }

    void controlThreadsAreJoined()
    {
        QVERIFY(f.link());
        runJob();
        for (int i = 0; i < 3; ++i) {
            app()->pauseTask(false);
            QTRY_VERIFY_WITH_TIMEOUT(!app()->controlBusy(), kHangMs);
            app()->resumeTask(false);
            QTRY_VERIFY_WITH_TIMEOUT(!app()->controlBusy(), kHangMs);
        }
        app()->stopTask(false);
        app()->joinControlThreads();
        QCOMPARE(app()->controlThreadCount(), 0);
        QCOMPARE(app()->taskStatus(), 2);
    }

    void onlineServicesSkipAnEmptyServer()
    {
        f.config->setProperty(Config::CPT_IP, QString());
        app()->startOnlineServices();
        QVERIFY(logged(QStringLiteral("online services skipped")));
        QVERIFY(!logged(QStringLiteral("connectToServer failed")));
        // A loopback address no broker listens on (a system mosquitto takes
        // 127.0.0.1:1883).
        f.config->setProperty(Config::CPT_IP, QStringLiteral("127.0.0.2"));
        app()->startOnlineServices();
        QVERIFY(logged(QStringLiteral("connectToServer failed")));
    }

    void propertiesCompareBeforeTheySignal()
    {
        QSignalSpy copies(app(), &SpoolsmithApp::cutTaskCopiesChanged);
        app()->setCutTaskCopies(app()->cutTaskCopies());
        QCOMPARE(copies.count(), 0);
        app()->setCutTaskCopies(7);
        QCOMPARE(copies.count(), 1);

        QSignalSpy status(app(), &SpoolsmithApp::taskStatusChanged);
        app()->setTaskStatus(app()->taskStatus());
        QCOMPARE(status.count(), 1);

        QSignalSpy tip(app(), &SpoolsmithApp::printTipChanged);
        app()->setPrintTip(QStringLiteral("a"));
        app()->setPrintTip(QStringLiteral("a"));
        QCOMPARE(tip.count(), 2);

        QSignalSpy collect(app(), &SpoolsmithApp::collectLenChanged);
        const double len = app()->collectLen();
        app()->setCollectLen(len * (1.0 + 1e-9));
        QCOMPARE(collect.count(), 0);
        app()->setCollectLen(len + 10.0);
        QCOMPARE(collect.count(), 1);

        QSignalSpy recount(app(), &SpoolsmithApp::checkedCopiesChanged);
        app()->reCount();
        app()->reCount();
        QCOMPARE(recount.count(), 0);
    }

    // Last, as it ends the application: the shut-down during a test print
    // that waits for a print component which never answers ends the print
    // at once; the application object then goes with nothing of it left
    // running (the sanitiser suite would see a freed channel used).
    void shutdownDuringASlowTestPrintEndsIt()
    {
        qputenv(named::kPrefixVariable, QByteArray("tsttask") + QByteArray::number(getpid()) + "_");
        const QString jobLog = f.dir->filePath(QStringLiteral("component.log"));
        QProcess component;
        component.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        component.start(QStringLiteral(PRINT_COMPONENT), {QStringLiteral("--never-answer"), QStringLiteral("--log"), jobLog});
        QVERIFY(component.waitForStarted(kHangMs));
        QByteArray output;
        while (!output.contains("ready\n")) {
            QVERIFY(component.waitForReadyRead(kHangMs));
            output += component.readAllStandardOutput();
        }
        const auto waiting = [&jobLog] {
            QFile file(jobLog);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains("not answering");
        };
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->setPrinterName(QStringLiteral("CorelDRAW"));
        QVERIFY(app()->printPdfFile(QString(), QStringLiteral("CorelDRAW")));
        QTRY_VERIFY_WITH_TIMEOUT(waiting(), kHangMs);
        QElapsedTimer clock;
        clock.start();
        app()->shutdown();
        // The print gave up, it did not run out its answer's bound: the log says which.
        QVERIFY2(clock.elapsed() < kHangMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(logged(QStringLiteral("hand-over ended by the program's end")));
        component.terminate();
        QVERIFY(component.waitForFinished(kHangMs));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestTaskControl)
#include "tst_task_control.moc"
