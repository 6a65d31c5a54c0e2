// The owner of short-lived threads: every thread it started is joined,
// finished ones on the next start, the rest by joinAll, a slow one too.
#include "app/threads/thread_group.h"
#include "tests/support/hang_bound.h"

#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
// A gate the test opens to let the bodies return.
struct Gate
{
    std::mutex lock;
    std::condition_variable wake;
    bool open = false;
    void pass()
    {
        std::unique_lock<std::mutex> l(lock);
        wake.wait(l, [this] { return open; });
    }
    bool pass(std::chrono::milliseconds bound)
    {
        std::unique_lock<std::mutex> l(lock);
        return wake.wait_for(l, bound, [this] { return open; });
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> l(lock);
            open = true;
        }
        wake.notify_all();
    }
};

// Opened when a thread group reports a run-out bound; the message goes on
// to the test's own handler.
Gate *g_boundReported = nullptr;
QtMessageHandler g_testHandler = nullptr;
void noteBoundReport(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_boundReported && message.contains(QLatin1String("still running after")))
        g_boundReported->release();
    g_testHandler(type, context, message);
}

} // namespace

class TestThreadGroup : public QObject
{
    Q_OBJECT

private slots:
    void finishedThreadsAreJoinedOnTheNextStart()
    {
        ThreadGroup group("test");
        std::atomic<int> ran{0};
        const ThreadGroup::Handle first = group.start([&ran] { ++ran; });
        QVERIFY(first);
        group.waitDone(first);
        QCOMPARE(group.count(), 1);
        group.waitDone(group.start([&ran] { ++ran; }));
        // The first was reaped when the second started.
        QCOMPARE(group.count(), 1);
        group.joinAll(std::chrono::milliseconds(1000));
        QCOMPARE(group.count(), 0);
        QCOMPARE(ran.load(), 2);
    }

    void joinAllWaitsForSlowBodiesPastTheBound()
    {
        ThreadGroup group("test");
        Gate gate;
        std::atomic<int> done{0};
        for (int i = 0; i < 3; ++i)
            QVERIFY(group.start([&] {
                gate.pass();
                ++done;
            }));
        QCOMPARE(group.count(), 3);
        // Opened once the bound has run out, however late a loaded machine
        // gets to the join.
        Gate reported;
        g_boundReported = &reported;
        g_testHandler = qInstallMessageHandler(noteBoundReport);
        const auto restore = qScopeGuard([] {
            qInstallMessageHandler(g_testHandler);
            g_boundReported = nullptr;
        });
        std::thread opener([&gate, &reported] {
            reported.pass(std::chrono::milliseconds(kHangMs));
            gate.release();
        });
        // The bound runs out first; the bodies are still waited for.
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("test threads still running after 10 ms"));
        group.joinAll(std::chrono::milliseconds(10));
        opener.join();
        QCOMPARE(done.load(), 3);
        QCOMPARE(group.count(), 0);
    }

    void aThreadOfTheGroupKeepsItsOwnEntry()
    {
        std::atomic<int> keptWhileRunning{-1};
        {
            ThreadGroup group("test");
            Gate gate;
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("joinAll called on a thread of the group"));
            const ThreadGroup::Handle h = group.start([&] {
                gate.pass();
                group.joinAll(std::chrono::milliseconds(100));
                keptWhileRunning = group.count();
            });
            gate.release();
            group.waitDone(h);
            // The destructor joins it.
        }
        QCOMPARE(keptWhileRunning.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestThreadGroup)
#include "tst_thread_group.moc"
