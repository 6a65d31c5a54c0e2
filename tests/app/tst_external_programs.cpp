// The external programs of machine version 2 against a real stand-in
// program: start, restart after an outside kill, the refusal when one of the
// same name runs, a path change, the restart rate, minimising through a
// recording window control, the end at shut-down; and the firewall script's
// bytes. The event loop must keep ticking throughout.
#include "app/external/external_programs.h"
#include "app/external/firewall_rule.h"
#include "platform/processes/elevated_script.h"
#include "platform/window_control/window_control.h"
#include "settings/config.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_prompt.h"

#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/types.h>

namespace {

struct Start
{
    qint64 pid = 0;
    QString name;
    qint64 ms = 0;
};

bool alive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

// Windows as a window manager would keep them: minimising one leaves it
// minimised.
class RecordingWindows : public windowcontrol::WindowControl
{
public:
    windowcontrol::ProcessWindow rootWindowOf(qint64 pid) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return windows.value(pid);
    }
    bool minimise(quintptr handle) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        minimised.append(handle);
        sinceMinimise.start();
        for (auto &window : windows) {
            if (window.handle == handle)
                window.minimised = true;
        }
        return true;
    }
    bool canMinimise() override { return iconifies.load(); }
    void show(qint64 pid)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        windows.insert(pid, {true, true, false, quintptr(pid)});
    }
    int minimiseCount(qint64 pid)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return int(minimised.count(quintptr(pid)));
    }

    qint64 msSinceMinimise()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return sinceMinimise.isValid() ? sinceMinimise.elapsed() : -1;
    }

    QMap<qint64, windowcontrol::ProcessWindow> windows;
    QList<quintptr> minimised;
    QElapsedTimer sinceMinimise;
    // false: a display without a window manager.
    std::atomic<bool> iconifies{true};

private:
    std::mutex m_lock;
};

class RecordingScripts : public processes::ElevatedScripts
{
public:
    bool start(const QString &script, const QString &workingDir) override
    {
        runs.append({script, workingDir});
        return true;
    }
    QList<QPair<QString, QString>> runs;
};

} // namespace

class TestExternalPrograms : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    QTemporaryDir dir;
    QString logPath;
    RecordingWindows windows;
    QTimer ticker;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    int copies = 0;

    // A copy of the stand-in under a name of its own, longer than the
    // kernel's 15-character command name.
    QString program(const QString &role)
    {
        const QString path = dir.filePath(QStringLiteral("spoolsmith-fake-%1-%2-%3")
                                              .arg(role)
                                              .arg(QCoreApplication::applicationPid())
                                              .arg(++copies));
        if (!QFile::copy(QStringLiteral(EXTERNAL_PROGRAM), path))
            return {};
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QList<Start> starts() const
    {
        QFile file(logPath);
        QList<Start> list;
        if (!file.open(QIODevice::ReadOnly))
            return list;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 4 && words[0] == "start")
                list.append({words[1].toLongLong(), QString::fromLocal8Bit(words[2]), words[3].toLongLong()});
        }
        return list;
    }
    QList<Start> startsOf(const QString &path) const
    {
        QList<Start> list;
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        for (const Start &s : starts()) {
            if (s.name == name)
                list.append(s);
        }
        return list;
    }
    // The supervised program runs and has noted its start: killed any
    // sooner (a loaded machine starts it slowly) it would never note it.
    bool runsAndNotedItsStart(ProgramSupervisor &supervisor, const QString &path)
    {
        const auto noted = [&] {
            const QList<Start> list = startsOf(path);
            return supervisor.process()->state() == QProcess::Running && !list.isEmpty()
                && list.last().pid == supervisor.process()->processId();
        };
        return QTest::qWaitFor(noted, int(kHangMs));
    }
    // Nothing left that could start the program again: not running, no
    // restart waiting for its time, no supervision tick.
    static bool nothingStartsItAgain(ProgramSupervisor &supervisor)
    {
        return supervisor.process()->state() == QProcess::NotRunning && !supervisor.restartPending()
            && supervisor.timerId() == 0;
    }
    std::unique_ptr<ExternalPrograms> supervise(const QString &riin, const QString &printerSoft, bool print = true)
    {
        f.config->setProperty(Config::CPT_RIIN_Path, riin);
        f.config->setProperty(Config::CPT_Printer_Soft_Path, printerSoft);
        f.config->setEnablePrint(print);
        auto programs = std::make_unique<ExternalPrograms>(AppServices{[this] { return f.config.get(); }, [] {
                                                                          return static_cast<TRV610Plus *>(nullptr);
                                                                      }});
        // A wait for a program's end on the GUI thread would last as long as
        // a hang, so the gap it left could never pass for a loaded machine's.
        programs->riin().setEndWaitMs(int(kHangMs));
        programs->printerSoft().setEndWaitMs(int(kHangMs));
        programs->setUp();
        return programs;
    }

    // Shut-down waits (bounded) for the programs' end: not counted.
    void shutDown(ExternalPrograms &programs)
    {
        ticker.stop();
        programs.shutdown();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(f.makeSettings());
        // The program paths are settings of machine version 2 only.
        f.config->setProperty(Config::CPT_Version, 2);
        f.config.reset();
        f.config = std::make_unique<Config>(f.dir->path(), f.dir->filePath(QStringLiteral("config.db")));
        Config::setInstance(f.config.get());
        QCOMPARE(f.config->getProperty(Config::CPT_RIIN_Path), QVariant(QString()));
        windowcontrol::installWindowControl(&windows);
        connect(&ticker, &QTimer::timeout, this, [this] {
            longestGapMs = qMax(longestGapMs, sinceTick.restart());
        });
    }
    void cleanupTestCase()
    {
        windowcontrol::installWindowControl(nullptr);
        f.tearDown();
    }
    void init()
    {
        logPath = dir.filePath(QStringLiteral("starts-%1.log").arg(QTest::currentTestFunction()));
        qputenv("SPOOLSMITH_EXTERNAL_LOG", logPath.toLocal8Bit());
        qunsetenv("SPOOLSMITH_EXTERNAL_EXIT");
        windows.windows.clear();
        windows.minimised.clear();
        windows.sinceMinimise.invalidate();
        windows.iconifies = true;
        longestGapMs = 0;
        sinceTick.start();
        ticker.start(10);
    }
    void cleanup()
    {
        // Only shut-down, after the event loop, may wait for a program's end.
        // While running nothing waits for a start or an end: a wait for an
        // end would hold the GUI thread the stretched end wait, a hang.
        QVERIFY2(longestGapMs < kHangMs, qPrintable(QString::number(longestGapMs)));
    }

    void startsRestartsAndEndsAtShutDown()
    {
        const QString riin = program(QStringLiteral("riin"));
        const QString soft = program(QStringLiteral("soft"));
        auto programs = supervise(riin, soft);
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(riin).size(), 1, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(soft).size(), 1, kHangMs);
        const qint64 first = startsOf(riin).first().pid;
        QTRY_COMPARE_WITH_TIMEOUT(programs->riin().process()->processId(), first, kHangMs);

        // Killed from outside: started again at once, the other untouched.
        ::kill(pid_t(first), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(riin).size(), 2, kHangMs);
        const qint64 second = startsOf(riin).last().pid;
        QVERIFY(second != first);
        QCOMPARE(startsOf(soft).size(), 1);

        // Shut-down ends both and starts neither again.
        const qint64 softPid = startsOf(soft).first().pid;
        QTRY_VERIFY_WITH_TIMEOUT(programs->riin().process()->state() == QProcess::Running, kHangMs);
        QSignalSpy riinStarted(programs->riin().process(), &QProcess::started);
        QSignalSpy softStarted(programs->printerSoft().process(), &QProcess::started);
        shutDown(*programs);
        QVERIFY(!alive(second));
        QVERIFY(!alive(softPid));
        QVERIFY(nothingStartsItAgain(programs->riin()));
        QVERIFY(nothingStartsItAgain(programs->printerSoft()));
        QCoreApplication::processEvents();
        QCOMPARE(riinStarted.count(), 0);
        QCOMPARE(softStarted.count(), 0);
        QCOMPARE(startsOf(riin).size(), 2);
        QCOMPARE(programs->riin().timerId(), 0);
        QCOMPARE(programs->printerSoft().timerId(), 0);
    }

    void sameNameRunningIsLeftAlone()
    {
        const QString riin = program(QStringLiteral("riin"));
        QProcess outsider;
        outsider.start(riin, {});
        QVERIFY(outsider.waitForStarted(kHangMs));
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(riin).size(), 1, kHangMs);

        auto programs = supervise(riin, QString());
        QVERIFY(!programs->riin().openProcess());
        QCOMPARE(programs->riin().process()->state(), QProcess::NotRunning);
        // The supervision keeps trying while the other one runs.
        QVERIFY(programs->riin().timerId() != 0);

        // Once it is gone, the next tick starts ours.
        outsider.kill();
        QVERIFY(outsider.waitForFinished(kHangMs));
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(riin).size(), 2, kHangMs);
        QVERIFY(startsOf(riin).last().pid != outsider.processId());
        shutDown(*programs);
    }

    void pathChangeRunsTheNewProgramOnly()
    {
        const QString oldPath = program(QStringLiteral("old"));
        const QString newPath = program(QStringLiteral("new"));
        auto programs = supervise(oldPath, QString(), false);
        // Printing off: no supervision timer, yet an ended one restarts.
        QCOMPARE(programs->riin().timerId(), 0);
        QVERIFY(programs->riin().openProcess());
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(oldPath).size(), 1, kHangMs);
        const qint64 oldPid = startsOf(oldPath).first().pid;

        // The same path again changes nothing.
        programs->programPathChanged(Config::CPT_RIIN_Path, oldPath);
        QCOMPARE(programs->riin().timerId(), 0);
        QVERIFY(alive(oldPid));

        LogCapture log;
        programs->programPathChanged(Config::CPT_RIIN_Path, newPath);
        const int timer = programs->riin().timerId();
        QVERIFY(timer != 0);
        QVERIFY(LogCapture::contains(QStringLiteral("startTimer RIIN")));
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(newPath).size(), 1, kHangMs);
        QVERIFY(!alive(oldPid));
        QCOMPARE(programs->riin().process()->program(), newPath);
        QCOMPARE(programs->riin().process()->processId(), startsOf(newPath).first().pid);
        QCOMPARE(startsOf(oldPath).size(), 1);

        // A second change while the timer runs does not start another one.
        const QString third = program(QStringLiteral("third"));
        programs->programPathChanged(Config::CPT_RIIN_Path, third);
        QCOMPARE(programs->riin().timerId(), timer);
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(third).size(), 1, kHangMs);
        QCOMPARE(startsOf(newPath).size(), 1);
        QCOMPARE(startsOf(oldPath).size(), 1);
        shutDown(*programs);
    }

    void programEndingAtOnceRestartsOncePerSecond()
    {
        qputenv("SPOOLSMITH_EXTERNAL_EXIT", "now");
        const QString riin = program(QStringLiteral("quits"));
        auto programs = supervise(riin, QString());
        QTRY_VERIFY_WITH_TIMEOUT(startsOf(riin).size() >= 3, kHangMs);
        shutDown(*programs);
        // Started at once it would run many times a second; each copy notes
        // the moment it was made, not when it came to log it.
        const QList<Start> list = startsOf(riin);
        for (int i = 1; i < list.size(); ++i)
            QVERIFY2(list[i].ms - list[i - 1].ms >= 500, qPrintable(QString::number(list[i].ms - list[i - 1].ms)));
    }

    // The shut-down's first step: a program that ends during the rest of it
    // (the link's end runs events for seconds) is not started again.
    void aProgramEndingDuringTheShutDownIsNotStartedAgain()
    {
        const QString riin = program(QStringLiteral("riin"));
        const QString soft = program(QStringLiteral("soft"));
        auto programs = supervise(riin, soft);
        QVERIFY(runsAndNotedItsStart(programs->riin(), riin));
        QVERIFY(runsAndNotedItsStart(programs->printerSoft(), soft));
        programs->stopRestarts();
        QCOMPARE(programs->riin().timerId(), 0);
        QCOMPARE(programs->printerSoft().timerId(), 0);
        QSignalSpy riinStarted(programs->riin().process(), &QProcess::started);
        QSignalSpy riinEnded(programs->riin().process(), &QProcess::finished);
        ::kill(pid_t(programs->riin().process()->processId()), SIGKILL);
        QVERIFY(riinEnded.wait(kHangMs));
        // A restart would come at once, or a second after the last start.
        QVERIFY(nothingStartsItAgain(programs->riin()));
        QCoreApplication::processEvents();
        QCOMPARE(riinStarted.count(), 0);
        QCOMPARE(startsOf(riin).size(), 1);
        shutDown(*programs);
        QCOMPARE(startsOf(soft).size(), 1);
    }

    // With nothing to minimise windows, that is logged once and the
    // supervision ends once the programs run; an ended one still restarts.
    void withoutAWindowManagerSupervisionEndsOnceRunning()
    {
        windows.iconifies = false;
        LogCapture log;
        const QString riin = program(QStringLiteral("riin"));
        const QString soft = program(QStringLiteral("soft"));
        auto programs = supervise(riin, soft);
        QTRY_COMPARE_WITH_TIMEOUT(programs->riin().timerId(), 0, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(programs->printerSoft().timerId(), 0, kHangMs);
        // Supervision ends once the start is under way; running follows.
        QVERIFY(runsAndNotedItsStart(programs->riin(), riin));
        QCOMPARE(LogCapture::all().count(QStringLiteral("no window manager")), 1);
        QVERIFY(windows.minimised.isEmpty());
        ::kill(pid_t(programs->riin().process()->processId()), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(startsOf(riin).size(), 2, kHangMs);
        shutDown(*programs);
    }

    void windowsAreMinimisedUntilTheyStaySo()
    {
        const QString riin = program(QStringLiteral("riin"));
        const QString soft = program(QStringLiteral("soft"));
        auto programs = supervise(riin, soft);
        QTRY_VERIFY_WITH_TIMEOUT(programs->riin().process()->processId() > 0, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(programs->printerSoft().process()->processId() > 0, kHangMs);
        const qint64 riinPid = programs->riin().process()->processId();
        const qint64 softPid = programs->printerSoft().process()->processId();
        QVERIFY(programs->riin().timerId() != 0);
        windows.show(riinPid);
        windows.show(softPid);

        QTRY_COMPARE_WITH_TIMEOUT(windows.minimiseCount(riinPid), 1, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(windows.minimiseCount(softPid), 1, kHangMs);
        // The printer software is done once its window stays minimised; the
        // raster image processor only 5 s after the last minimise (which a
        // loaded machine may let pass before the software's end is seen).
        QTRY_COMPARE_WITH_TIMEOUT(programs->printerSoft().timerId(), 0, kHangMs);
        const qint64 holdMs = ProgramSupervisor::kMinimisedHoldSecs * 1000;
        const bool held = windows.msSinceMinimise() >= holdMs;
        QVERIFY(held || programs->riin().timerId() != 0);
        QTRY_COMPARE_WITH_TIMEOUT(programs->riin().timerId(), 0, kHangMs);
        QVERIFY2(windows.msSinceMinimise() >= holdMs, qPrintable(QString::number(windows.msSinceMinimise())));
        QCOMPARE(windows.minimiseCount(riinPid), 1);
        shutDown(*programs);
    }

    void firewallScriptBytes()
    {
        RecordingScripts scripts;
        processes::installElevatedScripts(&scripts);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        FirewallRule rule(QStringLiteral("C:/Program Files/Spoolsmith/Spoolsmith.exe"), folder.path());
        QVERIFY(rule.apply());
        QFile file(folder.filePath(QStringLiteral("firewall.bat")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("@echo off \n"
                            "cd /d %~dp0 \n"
                            "%1 mshta vbscript:CreateObject(\"Shell.Application\").ShellExecute(\"cmd.exe\",\"/c %~s0 "
                            "::\",\"\",\"runas\",1)(window.close)&&exit \n"
                            "netsh advfirewall firewall delete rule name=\"Spoolsmith\" \n"
                            "netsh advfirewall firewall add rule name=\"Spoolsmith\" dir=in action=allow "
                            "program=\"C:\\Program Files\\Spoolsmith\\Spoolsmith.exe\""));
        QCOMPARE(scripts.runs.size(), 1);
        QCOMPARE(scripts.runs.first().first, file.fileName());
        QCOMPARE(scripts.runs.first().second, folder.path());

        // Latin-1 letters pass; a path Latin-1 cannot hold is neither written
        // nor run.
        QVERIFY(FirewallRule(QStringLiteral("C:/Étiquettes/Spoolsmith.exe"), folder.path()).script().contains("\xc9"));
        QVERIFY(file.remove());
        LogCapture log;
        QVERIFY(!FirewallRule(QStringLiteral("C:/标签/Spoolsmith.exe"), folder.path()).apply());
        QVERIFY(LogCapture::contains(QStringLiteral("SpoolsmithApp::firewall")));
        QVERIFY(!file.exists());
        QCOMPARE(scripts.runs.size(), 1);

        // A folder it cannot write to: the warning box, nothing run.
        RecordingPrompt prompt;
        QVERIFY(!FirewallRule(QStringLiteral("/opt/Spoolsmith"), folder.filePath(QStringLiteral("missing/dir")))
                     .apply());
        QCOMPARE(prompt.shown, QStringList{QStringLiteral("Error")});
        QCOMPARE(scripts.runs.size(), 1);
        processes::installElevatedScripts(nullptr);

        // This system's own runner: the script is written every time, run
        // never, and that is logged once.
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=true"));
        LogCapture::clear();
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!rule.apply());
            QVERIFY(file.remove());
        }
        QCOMPARE(LogCapture::all().count(QStringLiteral("batch scripts do not run")), 1);
    }
};

QTEST_MAIN(TestExternalPrograms)
#include "tst_external_programs.moc"
