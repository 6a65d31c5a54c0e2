// Hand-overs to the print component's stand-in, a process of its own that
// each case starts with the behaviour it needs and stops afterwards.
#include "app/print/cdr_channel.h"
#include "platform/named_objects/named_event.h"
#include "platform/named_objects/named_mutex.h"
#include "platform/named_objects/object_name.h"
#include "tests/support/hang_bound.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A channel wait the case ends early, told apart from one that runs out.
constexpr std::chrono::milliseconds kPastHang(kLongHangMs);

// The stand-in process and its log of jobs and answers.
class Component
{
public:
    explicit Component(const QString &logPath) : m_logPath(logPath) {}
    ~Component() { stop(); }

    bool start(const QStringList &options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(PRINT_COMPONENT), options + QStringList{"--log", m_logPath});
        if (!m_process.waitForStarted(kHangMs))
            return false;
        // "ready" once its objects exist.
        while (!m_output.contains("ready\n")) {
            if (!m_process.waitForReadyRead(kHangMs))
                return false;
            m_output += m_process.readAllStandardOutput();
        }
        return true;
    }
    // Ends it as a crash would: its objects stay behind.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(kHangMs);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(kHangMs))
            kill();
    }
    QStringList lines(const QString &startingWith) const
    {
        QFile file(m_logPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList found;
        for (const QString &line : QString::fromLatin1(file.readAll()).split('\n'))
            if (line.startsWith(startingWith))
                found << line;
        return found;
    }

private:
    QString m_logPath;
    QProcess m_process;
    QByteArray m_output;
};

// One call on a thread of its own, as the task thread runs it.
class Background
{
public:
    explicit Background(std::function<bool()> call)
        : m_thread([this, call = std::move(call)] {
              m_result = call();
              m_done = true;
          })
    {
    }
    ~Background()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool done() const { return m_done.load(); }
    bool result()
    {
        m_thread.join();
        return m_result;
    }

private:
    std::atomic<bool> m_done{false};
    bool m_result = false;
    std::thread m_thread; // last: starts once the members above exist
};

// One hand-over on a thread of its own.
class BackgroundHandOver : public Background
{
public:
    BackgroundHandOver(CdrChannel &channel, int pages, bool forJob = false)
        : Background([&channel, pages, forJob] { return channel.handOver(pages, forJob); })
    {
    }
};

// The record as the component reads it: words 1, count, 0, 8, 1, little
// endian, then 64 zero bytes.
QString expectedRecord(int pageCount)
{
    QByteArray bytes(84, '\0');
    const int words[] = {1, pageCount, 0, 8, 1};
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = char((words[i] >> (8 * b)) & 0xff);
    return QString::fromLatin1(bytes.toHex());
}

// "job <n> t=<ms> <hex>[ abandoned]"
QString recordOf(const QString &jobLine) { return jobLine.section(' ', 3, 3); }
int timeOf(const QString &jobLine) { return jobLine.section(' ', 2, 2).mid(2).toInt(); }

const char *kNotFound = "SpoolsmithApp::createCDRHandle OpenMutex fail: file not found!";

// The critical lines logged while it lives.
class CriticalLines
{
public:
    CriticalLines() : m_previous(qInstallMessageHandler(&CriticalLines::collect)) { s_lines.clear(); }
    ~CriticalLines() { qInstallMessageHandler(m_previous); }
    bool has(const QString &pattern) const { return !s_lines.filter(QRegularExpression(pattern)).isEmpty(); }
    QString all() const { return s_lines.join('\n'); }

private:
    static void collect(QtMsgType type, const QMessageLogContext &, const QString &text)
    {
        if (type == QtCriticalMsg)
            s_lines << text;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

} // namespace

class TestCdrChannel : public QObject
{
    Q_OBJECT

private:
    std::atomic<int> m_status{2};
    std::atomic<int> m_copies{0};
    // How often the channel asked for the status: once a hand-over waits, it
    // asks again and again.
    std::atomic<int> m_statusQueries{0};
    QTemporaryDir m_dir;
    int m_run = 0;

    CdrChannel::Hooks hooks()
    {
        return {[this] {
                    ++m_statusQueries;
                    return m_status.load();
                },
                [this](int pages) { m_copies += pages; }};
    }
    QString nextLog() { return m_dir.filePath(QString("component%1.log").arg(++m_run)); }
    bool jobTakenSet()
    {
        int error = 0;
        auto event = named::NamedEvent::createOrOpen("LPC_SRO", error);
        return event && event->isSet();
    }

private slots:
    void initTestCase()
    {
        qputenv(named::kPrefixVariable, QByteArray("tstcdr") + QByteArray::number(getpid()) + "_");
        QVERIFY(m_dir.isValid());
    }
    void init()
    {
        m_status = 2;
        m_copies = 0;
        m_statusQueries = 0;
    }

    // A batch of 7 pages at 3 per hand-over, split and paused as printing
    // does: three records carrying 3, each answered, 9 pages counted.
    void batchOfSevenAtThreePerHandOver()
    {
        Component component(nextLog());
        QVERIFY(component.start());
        CdrChannel channel(hooks());
        int remaining = 7;
        while (remaining > 0) {
            QVERIFY(channel.handOver(3));
            QVERIFY(!jobTakenSet());
            channel.pauseAfterHandOver();
            remaining -= std::min(remaining, 3);
        }
        QCOMPARE(m_copies.load(), 9);
        const QStringList jobs = component.lines("job ");
        QCOMPARE(jobs.size(), 3);
        for (const QString &job : jobs)
            QCOMPARE(recordOf(job), expectedRecord(3));
        QVERIFY(timeOf(jobs[1]) - timeOf(jobs[0]) >= 500);
        QVERIFY(timeOf(jobs[2]) - timeOf(jobs[1]) >= 500);
        QCOMPARE(component.lines("answered ").size(), 3);
    }

    // A test print while the job hands over: the two take turns, each job
    // reaches the component and each is answered on its own.
    void handOversOfOneProcessTakeTurns()
    {
        Component component(nextLog());
        QVERIFY(component.start({"--delay", "100"}));
        CdrChannel channel(hooks());
        BackgroundHandOver job(channel, 3);
        BackgroundHandOver testPrint(channel, 2);
        QVERIFY(job.result());
        QVERIFY(testPrint.result());
        QCOMPARE(m_copies.load(), 5);
        const QStringList jobs = component.lines("job ");
        QCOMPARE(jobs.size(), 2);
        QStringList records{recordOf(jobs[0]), recordOf(jobs[1])};
        records.sort();
        QStringList expected{expectedRecord(3), expectedRecord(2)};
        expected.sort();
        QCOMPARE(records, expected);
    }

    // No component: not found, nothing counted; one started afterwards is
    // found by the next hand-over of the same channel.
    void missingComponentThenStarted()
    {
        CdrChannel channel(hooks());
        QTest::ignoreMessage(QtCriticalMsg, kNotFound);
        QVERIFY(!channel.createCDRHandle());
        QTest::ignoreMessage(QtCriticalMsg, kNotFound);
        QVERIFY(!channel.handOver(3));
        QCOMPARE(m_copies.load(), 0);

        Component component(nextLog());
        QVERIFY(component.start());
        QVERIFY(channel.createCDRHandle());
        QVERIFY(channel.handOver(5));
        QCOMPARE(m_copies.load(), 5);
        QCOMPARE(recordOf(component.lines("job ").value(0)), expectedRecord(5));
        // A mapping too small for the record is refused, never written past.
        component.stop();
        Component small(nextLog());
        QVERIFY(small.start({"--size", "40"}));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("MapViewOfFile"));
        QVERIFY(!channel.handOver(3));
        QVERIFY(small.lines("job ").isEmpty());
        QCOMPARE(m_copies.load(), 5);
    }

    // The component crashes and is started again while the channel keeps its
    // handles: the crashed one's objects read as not found, the new ones are
    // opened, also when it was restarted between two hand-overs.
    void componentRestartedDuringRun()
    {
        CdrChannel channel(hooks());
        Component first(nextLog());
        QVERIFY(first.start());
        QVERIFY(channel.handOver(3));
        first.kill();
        QTest::ignoreMessage(QtCriticalMsg, kNotFound);
        QVERIFY(!channel.handOver(3));
        QCOMPARE(m_copies.load(), 3);

        Component second(nextLog());
        QVERIFY(second.start());
        QVERIFY(channel.handOver(3));
        QCOMPARE(m_copies.load(), 6);
        second.stop();
        Component third(nextLog());
        QVERIFY(third.start());
        QVERIFY(channel.handOver(3));
        QCOMPARE(m_copies.load(), 9);
        QCOMPARE(third.lines("job ").size(), 1);
    }

    // It crashes while the job waits for its answer: the wait ends well
    // before its bound, and a new component gets the next job.
    void componentCrashesWhileJobWaits()
    {
        CdrChannel channel(hooks(), {5s, kPastHang, 500ms});
        Component first(nextLog());
        QVERIFY(first.start({"--never-answer"}));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("ended before taking the job"));
        BackgroundHandOver handOver(channel, 3);
        QTRY_COMPARE_WITH_TIMEOUT(first.lines("not answering 1").size(), 1, kHangMs);
        first.kill();
        QTRY_VERIFY_WITH_TIMEOUT(handOver.done(), kHangMs);
        QVERIFY(!handOver.result());
        QCOMPARE(m_copies.load(), 0);

        Component second(nextLog());
        QVERIFY(second.start());
        QVERIFY(channel.handOver(3));
        QCOMPARE(m_copies.load(), 3);
    }

    // Never answered: the job it read is its to print, so it is counted when
    // the bound, or during a job the job's stop, ends the wait; no further job
    // is handed over while that answer is owed.
    void neverAnswered()
    {
        Component component(nextLog());
        QVERIFY(component.start({"--never-answer"}));
        CdrChannel bounded(hooks(), {5s, 300ms, 500ms});
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("did not take the job within"));
        QVERIFY(bounded.handOver(3));
        QCOMPARE(m_copies.load(), 3);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("did not take the job read before"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("owes the answer"));
        QVERIFY(!bounded.handOver(3));
        QCOMPARE(component.lines("job ").size(), 1);

        CdrChannel channel(hooks(), {5s, kPastHang, 500ms});
        m_status = 1;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("ended by the job's stop while waiting for LPC_SRO"));
        BackgroundHandOver handOver(channel, 3, true);
        QTRY_COMPARE_WITH_TIMEOUT(component.lines("not answering 2").size(), 1, kHangMs);
        m_status = 2;
        QTRY_VERIFY_WITH_TIMEOUT(handOver.done(), kHangMs);
        QVERIFY(handOver.result());
        QCOMPARE(m_copies.load(), 6);
    }

    // The pause between batches ends with the job's stop too.
    void pauseEndsWhenTheJobStops()
    {
        CdrChannel channel(hooks(), {5s, 10s, kPastHang});
        m_status = 1;
        Background pause([&channel] {
            channel.pauseAfterHandOver(true);
            return true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(m_statusQueries.load() >= 3, kHangMs);
        m_status = 2;
        QTRY_VERIFY_WITH_TIMEOUT(pause.done(), kHangMs);
    }

    // Slow but within the bound: taken and counted.
    void slowAnswer()
    {
        Component component(nextLog());
        QVERIFY(component.start({"--delay", "400"}));
        CdrChannel channel(hooks(), {5s, 3s, 500ms});
        QVERIFY(channel.handOver(3));
        QCOMPARE(m_copies.load(), 3);
        QVERIFY(!jobTakenSet());
    }

    // A job not answered within the bound: one the component had not read
    // yet is withdrawn (read later, it carries no pages), one it had read is
    // counted and its late answer is not taken for the next job's. Either
    // way what the component read and what was counted are the same pages.
    void lateAnswerNotTakenForTheNext_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("taken");
        QTest::newRow("read late") << QStringList{"--read-delay", "1200"} << false;
        QTest::newRow("answered late") << QStringList{"--plan", "1200,0"} << true;
    }
    void lateAnswerNotTakenForTheNext()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, taken);
        Component component(nextLog());
        QVERIFY(component.start(options));
        CdrChannel channel(hooks(), {5s, 400ms, 500ms});
        QCOMPARE(channel.handOver(3), taken);
        QCOMPARE(m_copies.load(), taken ? 3 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(component.lines("answered 1").size(), 1, kHangMs);
        QCOMPARE(channel.handOver(2), taken);
        QTRY_COMPARE_WITH_TIMEOUT(component.lines("job ").size(), 2, kHangMs);
        int read = 0;
        for (const QString &job : component.lines("job "))
            read += QByteArray::fromHex(recordOf(job).toLatin1()).at(4);
        QCOMPARE(read, m_copies.load());
        QCOMPARE(m_copies.load(), taken ? 5 : 0);
    }

    // The component cuts its objects short after a job was taken. The next
    // hand-overs touch none of them (that would end this process with
    // SIGBUS): each is refused with a line naming it, also once reopened.
    void objectsCutShortAreRefused_data()
    {
        QTest::addColumn<QString>("shrink");
        QTest::addColumn<QString>("refusedOnReopening");
        QTest::newRow("mapping past its header") << "LabelPrintCut:100" << "OpenFileMapping 22";
        QTest::newRow("mapping emptied") << "LabelPrintCut:0" << "OpenFileMapping 2";
        QTest::newRow("mutex past its header") << "LPC_Mutex:70" << "OpenMutex fail: 22";
        QTest::newRow("mutex emptied") << "LPC_Mutex:0" << "OpenMutex fail: file not found";
        // A cut event is replaced by a fresh one, which the idle component
        // never answers.
        QTest::newRow("job-taken event") << "LPC_SRO:0" << "did not take the job";
        QTest::newRow("job-written event") << "LPC_CWO:8" << "did not take the job";
        QTest::newRow("all four") << "LPC_Mutex:0,LabelPrintCut:0,LPC_SRO:0,LPC_CWO:0" << "OpenMutex fail";
    }
    void objectsCutShortAreRefused()
    {
        QFETCH(QString, shrink);
        QFETCH(QString, refusedOnReopening);
        Component component(nextLog());
        QVERIFY(component.start({"--shrink", shrink}));
        CdrChannel channel(hooks(), {1s, 300ms, 500ms});
        QVERIFY(channel.handOver(3));
        QTRY_COMPARE_WITH_TIMEOUT(component.lines("shrank ").size(), int(shrink.count(':')), kHangMs);
        const CriticalLines lines;
        QVERIFY(!channel.handOver(3));
        QVERIFY2(lines.has(" was cut short to \\d+ bytes; not used"), qPrintable(lines.all()));
        QVERIFY2(lines.has(refusedOnReopening), qPrintable(lines.all()));
        QVERIFY(!channel.handOver(3));
        QCOMPARE(m_copies.load(), 3);
        QCOMPARE(component.lines("job ").size(), 1);
    }

    // A process of the component ended holding the mutex: it is taken over,
    // the record written whole, the job taken and counted.
    void mutexAbandonedByTheComponent()
    {
        Component component(nextLog());
        QVERIFY(component.start({"--die-holding-mutex"}));
        QCOMPARE(component.lines("helper died holding LPC_Mutex").size(), 1);
        CdrChannel channel(hooks());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("abandoned"));
        QVERIFY(channel.handOver(4));
        QCOMPARE(m_copies.load(), 4);
        const QStringList jobs = component.lines("job ");
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(recordOf(jobs[0]), expectedRecord(4));
        QVERIFY(!jobs[0].endsWith("abandoned"));
        // And the mutex is an ordinary one again.
        QVERIFY(channel.handOver(4));
        QCOMPARE(m_copies.load(), 8);
    }

    // The mutex held past the bound: false, nothing written or counted; a
    // stop during a job ends that wait too.
    void mutexNotFree()
    {
        Component component(nextLog());
        QVERIFY(component.start());
        int error = 0;
        auto held = named::NamedMutex::open("LPC_Mutex", error);
        QVERIFY(held);
        QCOMPARE(held->lock(std::chrono::milliseconds(kHangMs), {}), named::NamedMutex::LockResult::Acquired);

        CdrChannel bounded(hooks(), {300ms, 10s, 500ms});
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("LPC_Mutex not free within"));
        QVERIFY(!BackgroundHandOver(bounded, 3).result());

        CdrChannel channel(hooks(), {kPastHang, 10s, 500ms});
        m_status = 1;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("while waiting for LPC_Mutex"));
        BackgroundHandOver handOver(channel, 3, true);
        QTRY_VERIFY_WITH_TIMEOUT(m_statusQueries.load() >= 3, kHangMs);
        m_status = 2;
        QTRY_VERIFY_WITH_TIMEOUT(handOver.done(), kHangMs);
        QVERIFY(!handOver.result());
        held->unlock();
        QVERIFY(component.lines("job ").isEmpty());
        QCOMPARE(m_copies.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCdrChannel)
#include "tst_cdr_channel.moc"
