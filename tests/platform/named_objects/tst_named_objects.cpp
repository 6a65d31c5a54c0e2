// The named objects across processes: children are forked, do one thing
// with an object and end, the way a peer process would.
#include "platform/named_objects/named_event.h"
#include "platform/named_objects/named_mapping.h"
#include "platform/named_objects/named_mutex.h"
#include "platform/named_objects/object_name.h"
#include "tests/support/hang_bound.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Runs body in a child process; returns its exit code (-1 when killed).
template<typename Body>
int inChild(Body body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class TestNamedObjects : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv(named::kPrefixVariable, QByteArray("tstno") + QByteArray::number(getpid()) + "_");
    }

    // Missing, made by a live process, made by one that ended: only the
    // live one is found, the stale one is replaced by the next creator.
    void mappingIsFoundOnlyWhileItsCreatorRuns()
    {
        int error = 0;
        QVERIFY(!named::NamedMapping::open("Block", error));
        QCOMPARE(error, ENOENT);

        auto mine = named::NamedMapping::create("Block", 128, error);
        QVERIFY(mine);
        QCOMPARE(mine->size(), std::size_t(128));
        QVERIFY(!named::NamedMapping::create("Block", 128, error));
        QCOMPARE(error, EEXIST);
        // What a child writes through its own view is seen here.
        QCOMPARE(inChild([] {
                     int e = 0;
                     auto view = named::NamedMapping::open("Block", e);
                     if (!view)
                         return 1;
                     std::memcpy(view->data(), "written", 8);
                     return 0;
                 }),
                 0);
        QCOMPARE(QByteArray(static_cast<const char *>(mine->data())), QByteArray("written"));
        mine.reset(); // the creator takes the name with it
        QVERIFY(!named::NamedMapping::open("Block", error));
        QCOMPARE(error, ENOENT);

        // A child that ends without closing leaves its segment behind.
        QCOMPARE(inChild([] {
                     int e = 0;
                     auto left = named::NamedMapping::create("Left", 16, e);
                     _exit(left ? 0 : 1);
                     return 0;
                 }),
                 0);
        QVERIFY(!named::NamedMapping::open("Left", error));
        QCOMPARE(error, ENOENT);
        auto fresh = named::NamedMapping::create("Left", 16, error);
        QVERIFY2(fresh, std::strerror(error));
        QVERIFY(fresh->isCurrent());
        QVERIFY(named::NamedMapping::open("Left", error));
    }

    // Another prefix is another world.
    void prefixKeepsRunsApart()
    {
        int error = 0;
        auto mine = named::NamedMutex::create("Shared", error);
        QVERIFY(mine);
        const QByteArray prefix = qgetenv(named::kPrefixVariable);
        qputenv(named::kPrefixVariable, prefix + "other_");
        QVERIFY(!named::NamedMutex::open("Shared", error));
        QCOMPARE(error, ENOENT);
        qputenv(named::kPrefixVariable, prefix);
        QVERIFY(named::NamedMutex::open("Shared", error));
        // Kinds do not meet either.
        QVERIFY(!named::NamedMapping::open("Shared", error));
    }

    // A holder that ended leaves the mutex abandoned once, then it is an
    // ordinary mutex again.
    void mutexOfAnEndedHolderIsAbandoned()
    {
        int error = 0;
        auto mutex = named::NamedMutex::create("Dropped", error);
        QVERIFY(mutex);
        QCOMPARE(inChild([] {
                     int e = 0;
                     auto other = named::NamedMutex::open("Dropped", e);
                     // Ends holding it, its view still mapped.
                     _exit(other && other->lock(std::chrono::milliseconds(kHangMs), {}) == named::NamedMutex::LockResult::Acquired ? 0 : 1);
                     return 1;
                 }),
                 0);
        QCOMPARE(mutex->lock(std::chrono::milliseconds(kHangMs), {}), named::NamedMutex::LockResult::Abandoned);
        mutex->unlock();
        QCOMPARE(mutex->lock(std::chrono::milliseconds(kHangMs), {}), named::NamedMutex::LockResult::Acquired);
        mutex->unlock();
    }

    // A peer rewrote a header or a mutex: refused, never used. A payload
    // size near 2^64 wrapped the size check; a mutex of another type
    // (priority inheritance, held by a thread that does not exist) makes
    // the C library abort on a lock.
    void rewrittenObjectsAreRefused()
    {
        int error = 0;
        auto block = named::NamedMapping::create("Rewritten", 16, error);
        auto mutex = named::NamedMutex::create("Retyped", error);
        QVERIFY(block && mutex);
        const auto peerView = [](const char *name, const char *kind) {
            const int fd = shm_open(named::objectPath(name, kind).c_str(), O_RDWR, 0);
            void *base = fd < 0 ? MAP_FAILED : mmap(nullptr, 80, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (fd >= 0)
                close(fd);
            return static_cast<char *>(base == MAP_FAILED ? nullptr : base);
        };
        char *header = peerView("Rewritten", "mapping");
        char *retyped = peerView("Retyped", "mutex");
        QVERIFY(header && retyped);
        const quint64 huge = ~quint64(0) - 7;
        std::memcpy(header + 24, &huge, sizeof huge);
        QVERIFY(!named::NamedMapping::open("Rewritten", error));
        QCOMPARE(error, EINVAL);

        auto *peer = reinterpret_cast<pthread_mutex_t *>(retyped + 64);
        peer->__data.__kind |= PTHREAD_PRIO_INHERIT << 5;
        peer->__data.__lock = 0x3ffffff0;
        QCOMPARE(mutex->lock(20ms, {}, &error), named::NamedMutex::LockResult::Failed);
        QCOMPARE(error, EINVAL);
        munmap(header, 80);
        munmap(retyped, 80);
    }

    // Manual reset: set wakes a waiter in another process and stays set
    // until reset; a waiter killed in its wait does not block later sets.
    void eventWakesAnotherProcessAndStaysSet()
    {
        int error = 0;
        auto event = named::NamedEvent::createOrOpen("Flag", error);
        QVERIFY(event);
        QVERIFY(!event->isSet());
        QCOMPARE(event->wait(20ms), named::NamedEvent::WaitResult::TimedOut);

        const pid_t killed = fork();
        if (killed == 0) {
            int e = 0;
            auto mine = named::NamedEvent::createOrOpen("Flag", e);
            mine->wait(std::chrono::milliseconds(kHangMs));
            _exit(0);
        }
        const pid_t waiter = fork();
        if (waiter == 0) {
            int e = 0;
            auto mine = named::NamedEvent::createOrOpen("Flag", e);
            _exit(mine && mine->wait(std::chrono::milliseconds(kHangMs)) == named::NamedEvent::WaitResult::Signalled ? 0 : 1);
        }
        kill(killed, SIGKILL);
        int status = 0;
        waitpid(killed, &status, 0);
        event->set();
        waitpid(waiter, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(event->isSet());
        QCOMPARE(event->wait(0ms), named::NamedEvent::WaitResult::Signalled);
        event->reset();
        QCOMPARE(event->wait(20ms, [] { return true; }), named::NamedEvent::WaitResult::Cancelled);
        // The second opener shares the first one's event.
        auto same = named::NamedEvent::createOrOpen("Flag", error);
        same->set();
        QVERIFY(event->isSet());
    }
};

QTEST_GUILESS_MAIN(TestNamedObjects)
#include "tst_named_objects.moc"
