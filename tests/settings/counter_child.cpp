// Counts copies the way a job does, announcing each on stdout, so a test can
// kill it right after a counted copy and check what a restart finds.
// Usage: counter_child <program dir> <adds|setters> <copies> [wait]
//        counter_child <program dir> adds <copies> full-after <n>
//            after n copies reached the settings file, no file may grow past
//            kFileLimit (a full disk); n = 0: from the start
//        counter_child <program dir> adds <copies> die-at <n>
//            after n - 1 copies reached the settings file, the process dies
//            as copy n is committed to the statistics store
//        counter_child <program dir> steps "<steps>" [gui]
//            counter_steps.h's steps (on the GUI thread, or each on a job
//            thread); prints the clock, ends as if killed. With
//            SPOOLSMITH_CUTS=<folder>, at each sync and rename, and as each
//            step returns, the program folder and its store as a power cut
//            would leave them: <folder>/<n>-<steps returned>/durable (each
//            file's data as of its last sync, each name as of its folder's
//            last sync, no -shm) and current (as a kill would)
//        counter_child <program dir> serve
//            reads "<clock> <step>" lines: "start", counter_steps.h's steps,
//            "end", "full"/"room" (no file may grow past kStoryLimit, or
//            any may); answers each with the counters shown; "kill" ends
//            the process as if killed; "burst": threads count until the
//            process is killed, acknowledging each copy with "counted"
#include "settings/config.h"
#include "tests/settings/counter_steps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr rlim_t kFileLimit = 256 * 1024;
// Short of a padded config.ini, past the store of a story (a run's commits
// between two checkpoints).
constexpr rlim_t kStoryLimit = 640 * 1024;
constexpr int kBurstThreads = 3;

// Waits until the settings file holds every counted copy.
bool waitForFile(Config &config)
{
    config.counters().syncKeys();
    return true;
}

// A full disk: a write past the limit fails (EFBIG). Only the soft limit,
// so a story can free the disk again.
void fillDisk(rlim_t size = kFileLimit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{size, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limit);
}

// Counts from several threads until killed, each copy told once counted.
[[noreturn]] void burst(Config &config)
{
    static std::mutex out;
    std::vector<std::thread> threads;
    for (int t = 0; t < kBurstThreads; ++t)
        threads.emplace_back([&config] {
            for (;;) {
                config.addCounts({QDate(), 0.25, 0.5, 1, 4, 4});
                std::lock_guard<std::mutex> lock(out);
                std::fputs("counted\n", stdout);
                std::fflush(stdout);
            }
        });
    for (;;)
        QThread::sleep(60);
}

// The disk as a power cut finds it (SPOOLSMITH_CUTS). Inode numbers name
// files: tmpfs never hands one out twice.
struct Cuts
{
    QStringList dirs; // the program folder, the store's
    QString out;
    std::mutex lock;
    int n = 0;
    std::atomic<int> returned{0};
    QHash<ino_t, QByteArray> data; // as of each file's last sync
    QHash<QString, QHash<QString, ino_t>> names; // as of each folder's last sync
};
Cuts *g_cuts = nullptr;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void listFolder(const QString &dir, bool withData)
{
    g_cuts->names[dir].clear();
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        struct stat st{};
        ::stat(QFile::encodeName(dir + '/' + name).constData(), &st);
        g_cuts->names[dir].insert(name, st.st_ino);
        if (withData)
            g_cuts->data.insert(st.st_ino, contents(dir + '/' + name));
    }
}

void cut()
{
    std::lock_guard<std::mutex> hold(g_cuts->lock);
    const QString at = QStringLiteral("%1/%2-%3/").arg(g_cuts->out).arg(++g_cuts->n).arg(g_cuts->returned.load());
    for (const QString &dir : g_cuts->dirs) {
        const QString sub = dir == g_cuts->dirs[0] ? QString() : QStringLiteral("store/");
        const QHash<QString, ino_t> names = g_cuts->names[dir];
        for (const QString &state : {"durable/", "current/"}) {
            QDir().mkpath(at + state + sub);
            for (const QString &name : state[0] == 'c' ? QDir(dir).entryList(QDir::Files | QDir::Hidden) : names.keys()) {
                QFile f(at + state + sub + name);
                if (!name.endsWith("-shm") && f.open(QIODevice::WriteOnly))
                    f.write(state[0] == 'c' ? contents(dir + '/' + name) : g_cuts->data.value(names[name]));
            }
        }
    }
}

// A sync makes durable what fd holds as it begins.
int synced(long call, int fd)
{
    if (g_cuts) {
        std::lock_guard<std::mutex> hold(g_cuts->lock);
        const QString link = QStringLiteral("/proc/self/fd/%1").arg(fd);
        struct stat st{};
        ::fstat(fd, &st);
        if (!S_ISDIR(st.st_mode))
            g_cuts->data.insert(st.st_ino, contents(link));
        else if (g_cuts->dirs.contains(QFile::symLinkTarget(link)))
            listFolder(QFile::symLinkTarget(link), false);
    }
    const int done = int(syscall(call, fd));
    if (g_cuts)
        cut();
    return done;
}

// SPOOLSMITH_DIE_AT_RENAME=N: the process dies right after the Nth file put
// in config.ini's place, between two writes of it.
extern "C" int rename(const char *from, const char *to) noexcept
{
    static std::atomic<int> renamed{0};
    static const int dieAt = qEnvironmentVariableIntValue("SPOOLSMITH_DIE_AT_RENAME");
    const long done = syscall(SYS_rename, from, to);
    if (done == 0 && dieAt > 0 && QByteArray(to).endsWith("/config.ini") && ++renamed == dieAt)
        std::raise(SIGKILL);
    if (g_cuts)
        cut();
    return int(done);
}
extern "C" int fsync(int fd)
{
    return synced(SYS_fsync, fd);
}
extern "C" int fdatasync(int fd)
{
    return synced(SYS_fdatasync, fd);
}

// A step as a job takes it: off the GUI thread, so a count returns once
// what the store could not take is on disk.
void onJobThread(const std::function<void()> &step)
{
    std::thread(step).join();
}

using WalHook = int (*)(void *, void *, const char *, int);
int dieAtCommit(void *, void *, const char *, int)
{
    std::raise(SIGKILL);
    return 0;
}

// The store's connection dies at its next commit. The driver's SQLite is
// the one the SQL plugin loaded.
bool armDeathAtCommit()
{
    const QVariant handle = QSqlDatabase::database(QStringLiteral("sqlite1"), false).driver()->handle();
    void *db = handle.isValid() ? *static_cast<void *const *>(handle.constData()) : nullptr;
    void *lib = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    auto walHook = lib ? reinterpret_cast<void *(*)(void *, WalHook, void *)>(dlsym(lib, "sqlite3_wal_hook"))
                       : nullptr;
    if (!db || !walHook)
        return false;
    walHook(db, dieAtCommit, nullptr);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4 && !(argc == 3 && qstrcmp(argv[2], "serve") == 0))
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (qstrcmp(argv[2], "steps") == 0) {
        if (qEnvironmentVariableIsSet("SPOOLSMITH_CUTS")) {
            g_cuts = new Cuts{{QDir(dir).absolutePath(), QDir(dir).absoluteFilePath("store")},
                              qEnvironmentVariable("SPOOLSMITH_CUTS")};
            for (const QString &d : g_cuts->dirs)
                listFolder(d, true);
        }
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        Config config(dir, storePath(dir), [&now] { return now; });
        for (const QString &step : QString::fromLocal8Bit(argv[3]).split(QLatin1Char(' '))) {
            argc > 4 ? counterStep(config, now, step) : onJobThread([&] { counterStep(config, now, step); });
            if (g_cuts)
                ++g_cuts->returned, cut();
        }
        std::fputs(qPrintable(now.toString(Qt::ISODate)), stdout);
        std::fflush(stdout);
        if (g_cuts)
            g_cuts->lock.lock(); // no state left half written
        _exit(0);
    }
    if (qstrcmp(argv[2], "serve") == 0) {
        std::unique_ptr<Config> config;
        QDateTime now;
        char line[256];
        while (std::fgets(line, sizeof line, stdin)) {
            const QStringList words = QString::fromLatin1(line).trimmed().split(QLatin1Char(' '));
            now = QDateTime::fromString(words.value(0), Qt::ISODate);
            const QString step = words.mid(1).join(QLatin1Char(' '));
            if (step == QLatin1String("kill"))
                _exit(0);
            if (step == QLatin1String("burst"))
                burst(*config);
            if (step == QLatin1String("full") || step == QLatin1String("room"))
                fillDisk(step == QLatin1String("full") ? kStoryLimit : RLIM_INFINITY);
            else if (step == QLatin1String("start"))
                config.reset(), config = std::make_unique<Config>(dir, storePath(dir), [&now] { return now; });
            else if (step == QLatin1String("end"))
                config.reset();
            else
                onJobThread([&] { counterStep(*config, now, step); });
            std::printf("%s\n", config ? qPrintable(shownCounters(*config)) : "ended");
            std::fflush(stdout);
        }
        return 0;
    }
    const bool setters = qstrcmp(argv[2], "setters") == 0;
    const int copies = QByteArray(argv[3]).toInt();
    const QByteArray after = argc > 4 ? QByteArray(argv[4]) : QByteArray();
    const int at = argc > 5 ? QByteArray(argv[5]).toInt() : -1;
    if (after == "full-after" && at == 0)
        fillDisk();
    Config config(dir, storePath(dir));
    for (int i = 1; i <= copies; ++i) {
        if (after == "die-at" && i == at && (!waitForFile(config) || !armDeathAtCommit())) {
            std::fprintf(stderr, "the file never caught up, or no SQLite commit to hook\n");
            return 3;
        }
        if (setters) {
            config.setTodayCopies(config.todayCopies() + 1);
            config.setTotalCopies(config.totalCopies() + 1);
            config.setTodayCut(config.todayCut() + 0.3);
            config.setTotalCut(config.totalCut() + 0.3);
        } else {
            WorkDataRecord copy;
            copy.copies = 1;
            copy.cutLen = 0.3;
            config.addCounts(copy);
        }
        std::printf("counted %d\n", i);
        std::fflush(stdout);
        if (after == "full-after" && i == at) {
            if (!waitForFile(config)) {
                std::fprintf(stderr, "the file never caught up\n");
                return 3;
            }
            fillDisk();
        }
    }
    if (after == "wait") {
        for (;;)
            QThread::sleep(60);
    }
    return 0;
}
