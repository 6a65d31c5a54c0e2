#include "settings/config.h"
#include "tests/settings/counter_steps.h"
#include "tests/support/full_sweeps.h"
#include "tests/support/hang_bound.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QStringList g_log;
void recordLog(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtWarningMsg)
        g_log.append(msg);
}

// While set, config.ini's syncs (the program folder's, not the store's) do
// not return: a disk that does not answer.
std::atomic<bool> g_stuckDisk{false};
int sync(long call, int fd)
{
    const QString path = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    while (g_stuckDisk && path.contains("tst_counters-") && !path.contains("/store"))
        QThread::msleep(5);
    return int(syscall(call, fd));
}

} // namespace

extern "C" int fsync(int fd)
{
    return sync(SYS_fsync, fd);
}
extern "C" int fdatasync(int fd)
{
    return sync(SYS_fdatasync, fd);
}

class TestCounters : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_copies = 0;
    QString dir() const { return m_dir->path(); }
    QString db() const { return storePath(dir()); }
    QString ini() const { return m_dir->filePath("config.ini"); }
    std::unique_ptr<Config> start(std::function<QDateTime()> clock = {})
    {
        return std::make_unique<Config>(dir(), db(), std::move(clock));
    }

    // Through a copy of its own: QSettings trusts a file it read of the same
    // size and time, and config.ini is replaced within a millisecond.
    QVariant iniValue(const QString &key)
    {
        const QString copy = m_dir->filePath(QString("held%1.ini").arg(++m_copies));
        QFile::copy(ini(), copy);
        return QSettings(copy, QSettings::IniFormat).value(key);
    }
    void writeIni(const QMap<QString, QVariant> &values)
    {
        QSettings s(ini(), QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            s.setValue(it.key(), it.value());
    }
    // The statistics row of a day ("" for the totals) as the file holds it.
    QVariantList row(const QString &day)
    {
        QVariantList out;
        {
            QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "peek");
            c.setDatabaseName(db());
            c.setConnectOptions("QSQLITE_BUSY_TIMEOUT=100"); // a held store reads as no row
            if (c.open()) {
                QSqlQuery q(c);
                q.prepare("SELECT * FROM t_work_data WHERE date = ?");
                q.addBindValue(day);
                if (q.exec() && q.next())
                    for (int i = 0; i < 6; ++i)
                        out.append(q.value(i));
            }
        }
        QSqlDatabase::removeDatabase("peek");
        return out;
    }
    QString todayText() const { return QDate::currentDate().toString("yyyy-MM-dd"); }
    // Another connection holds the store in exclusive locking mode (once the
    // program has it open, with a write transaction left open), or lets go.
    void holdStore(bool hold)
    {
        QSqlDatabase::removeDatabase("holder");
        for (bool exclusive : {true, false}) {
            bool held = false;
            if (!hold)
                return;
            {
                QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "holder");
                other.setDatabaseName(db());
                other.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
                other.open();
                QSqlQuery q(other);
                held = exclusive ? q.exec("PRAGMA locking_mode = EXCLUSIVE") && q.exec("BEGIN EXCLUSIVE")
                                       && q.exec("COMMIT")
                                 : q.exec("BEGIN IMMEDIATE");
            }
            if (held)
                return;
            QSqlDatabase::removeDatabase("holder");
        }
        QFAIL("the store could not be held");
    }

    // A story as the line's PC meets it: counter_steps.h's steps and store
    // steps, "start", "end", "kill" (the run since its start was a counting
    // child that ends as if killed), "hold"/"free" (another connection holds
    // the store in exclusive locking mode), "widen" (another program gives
    // the day rows a column more), "damage" (the store's first 4 KiB
    // overwritten), and config.ini's own faults, the runs then in a child
    // without the rights of root: "rofile"/"rwfile" (config.ini read-only),
    // "rodir"/"rwdir" (the program folder read-only), "full"/"room" (no file
    // may grow past config.ini's size), "lock"/"stale" (a lock file left,
    // empty or of a process long gone), "burst" (threads count until the
    // child is killed at a random instant). Beside it, a plain model of what
    // was counted on which day. Each start must show at least what
    // config.ini held and at most the model; at the end, the store well
    // again, the shown counters, every row and config.ini must be the
    // model's (or, given expect, the last start shows "<today's copies>
    // <total copies>"). Returns what went wrong.
    QString runStory(const QStringList &steps, const QString &expect = {})
    {
        init();
        qInstallMessageHandler(recordLog);
        const auto restore = qScopeGuard([] { qInstallMessageHandler(nullptr); });
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        QMap<QDate, QVariantList> days; // the model: cut, print, copies, marks, good marks
        QVariantList total{0.0, 0.0, 0, 0, 0};
        const auto day = [&](const QDate &d) { return days.value(d, {0.0, 0.0, 0, 0, 0}); };
        const QList<double> copy{0.25, 0.5, 1, 4, 4};
        const auto count = [&](int copies) {
            QVariantList &d = days.insert(now.date(), day(now.date())).value();
            for (QVariantList *r : {&d, &total})
                for (int f = 0; f < 5; ++f)
                    (*r)[f] = (*r)[f].toDouble() + copies * copy[f];
        };
        static const QStringList fileFaults{"rofile", "rodir", "full", "burst"};
        const bool inChild = std::any_of(steps.begin(), steps.end(), [](const QString &t) {
            return fileFaults.contains(t);
        });
        if (inChild && steps.contains("full")) { // larger than a full disk lets a file grow
            QMap<QString, QVariant> padding;
            for (int i = 0; i < 170; ++i)
                padding.insert(QString("Padding%1/fill").arg(i), QByteArray(4000, 'x'));
            writeIni(padding);
        }
        bool full = false;
        QSet<QString> fileFaultsOn;
        // A counter set lower: the store took it, and config.ini (which it
        // does not wait for) may then hold more than was counted, and a
        // start that cannot read the store shows that (today's, the totals').
        bool setUnwritten[2] = {false, false};
        int burst = -1; // copies acknowledged by the killed child
        std::unique_ptr<Config> c;
        std::unique_ptr<QProcess> child;
        QStringList shown;
        const auto program = [&](const QString &step) {
            if (child) {
                child->write((now.toString(Qt::ISODate) + ' ' + step + '\n').toLatin1());
                while (!child->canReadLine() && child->waitForReadyRead(kHangMs)) {}
                return QString::fromLatin1(child->readLine()).trimmed().split(' ');
            }
            // One program at a time: a start ends the run before it.
            step == "start" ? void((c.reset(), c = start([&now] { return now; }))) : counterStep(*c, now, step);
            return shownCounters(*c).split(' ');
        };
        const QStringList run = steps + QStringList{"rwfile", "rwdir", "room", "free", "read", "write", "end", "kill",
                                                    "start"};
        for (int i = 0; i < run.size(); ++i) {
            const QString step = run[i];
            const QString at = QString(" at step %1 (%2)").arg(i).arg(step);
            if (step == "start" && !c && !child) {
                const int end = run.indexOf("end", i), kill = run.indexOf("kill", i);
                if ((kill >= 0 && (end < 0 || kill < end)) || (inChild && i + 1 < run.size())) {
                    child = std::make_unique<QProcess>();
                    child->start(unprivileged().value(0, COUNTER_CHILD),
                                 unprivileged().mid(1) + QStringList{COUNTER_CHILD, dir(), "serve"});
                    if (full)
                        program("full");
                }
                const QStringList held = fileCounts();
                shown = program(step);
                if (shown.size() != 11)
                    return "no answer" + at;
                if (burst >= 0) {
                    // The copies a killed burst counted: each acknowledged one,
                    // at most one more a thread, the day's and the totals alike.
                    const int counted = shown[8].toInt() - total[2].toInt();
                    if (counted < burst || counted > burst + 3 || shown[3].toInt() - day(now.date())[2].toInt() != counted)
                        return QString("%1 acknowledged, shown %2, model %3%4")
                            .arg(burst).arg(shown.join(' '), join(day(now.date())) + " " + join(total), at);
                    count(counted);
                    burst = -1;
                }
                for (int f = 0; f < 10; ++f) {
                    const QDate shownDay = QDate::fromString(shown[0], Qt::ISODate);
                    const bool set = f % 5 == 2 && setUnwritten[f / 5]; // shown from a config.ini that lags
                    const double most = set ? 1e15 : (f < 5 ? day(shownDay) : total)[f % 5].toDouble();
                    const double least = (f < 5 && held[0] != shown[0]) || set ? 0.0 : held[1 + f].toDouble();
                    if (shown[1 + f].toDouble() > most + 1e-9 || shown[1 + f].toDouble() < least - 1e-9)
                        return QString("shown %1, config.ini held %2, model %3%4")
                            .arg(shown.join(' '), held.join(' '), join(day(now.date())) + " " + join(total), at);
                }
            } else if (step == "end" || step == "kill") {
                if (child)
                    g_log += QString::fromLocal8Bit(child->readAllStandardError()).split('\n');
                if (step == "kill" && child)
                    program(step), child->waitForFinished(kHangMs), child.reset();
                if (step == "end")
                    child ? void((program(step), child->closeWriteChannel(), child->waitForFinished(kHangMs),
                                  child.reset()))
                          : c.reset();
            } else if (step == "burst") {
                if (!child)
                    continue;
                burst = killAtRandom(*child, now);
                child.reset();
            } else if (step == "hold" || step == "free") {
                holdStore(step == "hold");
            } else if (step == "widen") {
                storeSql("ALTER TABLE t_work_data ADD COLUMN extra");
            } else if (step == "damage") {
                QFile f(db());
                f.open(QIODevice::ReadWrite), f.write(QByteArray(4096, 'x'));
                QFile::remove(db() + "-wal"), QFile::remove(db() + "-shm");
            } else if (step.contains(QRegularExpression("^(un)?(read|write)"))) {
                storeStep(db(), step);
            } else if (step.endsWith("file") || step.endsWith("dir")) {
                const bool ro = step.startsWith("ro");
                ro ? void(fileFaultsOn.insert(step)) : void(fileFaultsOn.remove("ro" + step.mid(2)));
                QFile::setPermissions(step.endsWith("file") ? ini() : dir(),
                                      step.endsWith("file") ? (ro ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner)
                                                            : QFile::ReadOwner | QFile::ExeOwner
                                                                  | (ro ? QFile::Permissions() : QFile::WriteOwner));
            } else if (step == "full" || step == "room") {
                full = step == "full";
                full ? void(fileFaultsOn.insert(step)) : void(fileFaultsOn.remove("full"));
                if (child)
                    program(step);
            } else if (step == "lock" || step == "stale") {
                QFile lock(ini() + ".lock");
                lock.open(QIODevice::WriteOnly);
                if (step == "stale")
                    lock.write("99999999\nanother-host\nSpoolsmith\n"),
                        lock.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
            } else if (!(c || child)) {
                clockStep(now, step);
            } else {
                clockStep(now, step);
                QVariantList &d = days.insert(now.date(), day(now.date())).value();
                if (step == "count")
                    count(1);
                if (step == "set" || step == "settotal") {
                    (step == "set" ? d : total)[2] = step == "set" ? 100 : 50;
                    setUnwritten[step == "settotal"] = true;
                }
                if (step.startsWith("row"))
                    days[QDate(2026, 5, step.right(1).toInt())] = {1.25, 2.5, 5, 20, 20};
                shown = program(step);
            }
        }
        c.reset();
        const QString want = now.date().toString(Qt::ISODate) + " " + join(day(now.date())) + " " + join(total);
        if (!expect.isEmpty())
            return shown.value(3) + " " + shown.value(8) == expect ? QString() : "shown " + shown.join(' ');
        if (shown.join(' ') != want || fileCounts().join(' ') != want)
            return QString("shown %1, config.ini %2, model %3").arg(shown.join(' '), fileCounts().join(' '), want);
        for (QDate d(2026, 5, 1); d.month() == 5; d = d.addDays(1)) {
            const QVariantList stored = row(d.toString(Qt::ISODate)).mid(1);
            if (join(stored.isEmpty() ? day({}) : stored) != join(day(d)))
                return QString("row %1: %2, model %3").arg(d.day()).arg(join(stored), join(day(d)));
        }
        if (join(row("").mid(1)) != join(total) || QFile::exists(ini() + ".counting")
            || QSettings(ini(), QSettings::IniFormat).childGroups().filter("Untaken").size()
            || !QDir(dir()).entryList({"config.ini.writing-*"}).isEmpty())
            return "the totals' row " + join(row("").mid(1)) + ", a marker, a group or a write left";
        if (!g_log.filter("could not be written ()").isEmpty())
            return "a trouble logged without its reason: " + g_log.filter("could not be written ()").first();
        return {};
    }
    // Kills a child counting in a burst after a random while; the copies it
    // acknowledged.
    static int killAtRandom(QProcess &child, const QDateTime &now)
    {
        child.write((now.toString(Qt::ISODate) + " burst\n").toLatin1());
        QElapsedTimer clock;
        clock.start();
        const int ms = QRandomGenerator::global()->bounded(1, 120);
        while (!clock.hasExpired(ms))
            child.waitForReadyRead(1);
        child.kill();
        child.waitForFinished(kHangMs);
        return int(child.readAllStandardOutput().count("counted\n"));
    }
    // Without the rights of root, so file modes hold for it.
    static QStringList unprivileged()
    {
        if (::geteuid() != 0)
            return {};
        return {QStandardPaths::findExecutable("setpriv"), "--bounding-set=-all", "--inh-caps=-all", "--"};
    }
    static QString join(const QVariantList &values)
    {
        QStringList out;
        for (const QVariant &v : values)
            out << QString::number(v.toDouble());
        return out.join(' ');
    }
    // The store's faults and config.ini's are drawn at random, never both at
    // once: with both media failing a kill may take what neither holds.
    static QStringList randomStory(int seed)
    {
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        QStringList story{"start"};
        bool held = false;
        QSet<QString> storeFaults, fileFaults;
        while (story.size() < 25) {
            // A held store makes every step wait: it is let go soon.
            const int r = held && pick(4) ? 99 : pick(100);
            if (r < 44) {
                story << QStringList{"count", "count", "count", "count", "count", "count", "set", "settotal", "look",
                                     "reread", "sync"}[r / 4];
            } else if (r < 58) {
                const qint64 secs = QList<qint64>{600 + 60 * pick(600), now.secsTo(QDateTime(now.date().addDays(1),
                    QTime(0, 0, 1))), 86400 * (1 + pick(2)), -86400 * (1 + pick(2)), -1200}[pick(5)];
                const QDateTime next = now.addSecs(secs);
                if (next.date().day() < 2 || next.date().day() > 8)
                    continue;
                now = next;
                story << QString("@%1T%2").arg(now.date().day()).arg(now.time().toString("H:mm:ss"));
            } else if (r < 72) {
                const QString row = QStringList{"", ":t", ":" + QString::number(now.date().day())}[pick(3)];
                const QString step = fileFaults.isEmpty() ? QStringList{"unread" + row, "unwrite" + row, "read",
                                                                        "write"}[pick(4)]
                                                          : QStringList{"rw", "rw", "room"}[pick(3)];
                if (step == "rw" || step == "room") {
                    const QString fault = *fileFaults.begin();
                    story << (fault == "full" ? "room" : "rw" + fault.mid(2));
                    fileFaults.remove(fault);
                    continue;
                }
                story << step;
                step.startsWith("un") ? void(storeFaults.insert(step))
                                      : void(storeFaults.removeIf([&](const QString &f) { return f.contains(step); }));
            } else if (r < 82) {
                if (!storeFaults.isEmpty() || held)
                    continue;
                const QString fault = QStringList{"rofile", "rodir", "rofile", "rodir", "full"}[pick(5)];
                story << fault;
                fileFaults.insert(fault);
            } else if (r < 83 || r == 99) {
                if (!fileFaults.isEmpty() && !held)
                    continue;
                story << ((held = !held) ? "hold" : "free");
            } else {
                // A burst's copies are told apart at the next start: its rows
                // read. A full disk would stop the store's growth as well.
                const bool readable = !held && !fileFaults.contains("full") && std::none_of(storeFaults.begin(), storeFaults.end(), [](const QString &f) {
                    return f.startsWith("unread");
                });
                story << QStringList{"end", "end", "end", "kill", "kill", readable ? "burst" : "kill",
                                     QStringList{"lock", "stale"}[pick(2)]}[pick(7)];
                if (story.last() == "lock" || story.last() == "stale")
                    continue;
                if (!held && fileFaults.isEmpty() && story.last() != "burst" && !pick(30))
                    story << "hold", held = true; // before the start: in exclusive locking mode
                story << "start";
            }
        }
        return story;
    }

    // The day and the counters as config.ini on disk holds them.
    QStringList fileCounts()
    {
        const QString copy = m_dir->filePath(QString("held%1.ini").arg(++m_copies));
        QFile::copy(ini(), copy);
        QSettings s(copy, QSettings::IniFormat);
        QStringList out{s.value("Today/Today").toString()};
        for (const char *section : {"Today/", "Total/"})
            for (const char *key : {"Cut", "Print", "Copies", "ScanMark", "ScanMarkOk"})
                out << QString::number(s.value(QString(section) + key).toDouble());
        return out;
    }
    void storeSql(const QString &sql)
    {
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(db());
            QVERIFY(other.open() && QSqlQuery(other).exec(sql));
        }
        QSqlDatabase::removeDatabase("other");
    }

    // A run, in a child, that cannot write config.ini (read-only), its clock at at.
    void countWithoutConfigIni(const QDateTime &at, const QStringList &steps)
    {
        QFile::setPermissions(ini(), QFile::ReadOwner);
        QProcess run;
        run.start(unprivileged().value(0, COUNTER_CHILD), unprivileged().mid(1) + QStringList{COUNTER_CHILD, dir(), "serve"});
        for (const QString &step : QStringList{"start"} + steps + QStringList{"end"})
            run.write((at.toString(Qt::ISODate) + ' ' + step + '\n').toLatin1());
        run.closeWriteChannel();
        QVERIFY(run.waitForFinished(kHangMs) && run.exitCode() == 0);
        QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // Runs the counting child; with killAfter > 0 it is killed (SIGKILL) as
    // soon as it reports that many counted copies.
    void runChild(const QString &mode, int copies, int killAfter, const QStringList &wrapper = {},
                  QByteArray *errors = nullptr)
    {
        QProcess child;
        QStringList args{dir(), mode, QString::number(copies)};
        if (killAfter > 0)
            args << "wait";
        if (wrapper.isEmpty()) {
            child.start(COUNTER_CHILD, args);
        } else {
            child.start(wrapper.first(), wrapper.mid(1) + QStringList{COUNTER_CHILD} + args);
        }
        QVERIFY(child.waitForStarted(kHangMs));
        if (killAfter > 0) {
            const QByteArray wanted = "counted " + QByteArray::number(killAfter) + "\n";
            QByteArray out;
            while (!out.contains(wanted)) {
                QVERIFY2(child.waitForReadyRead(kHangMs), out.constData());
                out += child.readAllStandardOutput();
            }
            child.kill();
            QVERIFY(child.waitForFinished(kHangMs));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        } else {
            QVERIFY(child.waitForFinished(kHangMs));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
        }
        if (errors)
            *errors = child.readAllStandardError();
    }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.info=false")); }
    void init()
    {
        // In memory where it can be: while a row cannot take its copies,
        // each one syncs config.ini.
        m_dir = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tst_counters-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
        g_log.clear();
        QDir(dir()).mkdir("store");
        // A live config.ini, so the counters land beside the other settings.
        QFile(ini()).open(QIODevice::WriteOnly);
    }

    void counterChangeWritesRowSignalAndKeyOnce()
    {
        auto c = start();
        c->setTodayCopies(4);
        QSignalSpy spy(c.get(), &Config::todayCopiesChanged);
        c->setTodayCopies(5);
        QCOMPARE(spy.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Today/Copies").toUInt(), 5u, kHangMs);
        QCOMPARE(row(todayText()).value(3).toInt(), 5);
        c->setTodayCopies(5);
        QCOMPARE(spy.count(), 1);
        // Totals go to the row with the empty date, never into the day's row.
        c->setTotalCopies(11);
        QCOMPARE(row("").value(3).toInt(), 11);
        QCOMPARE(row(todayText()).value(3).toInt(), 5);
        QCOMPARE(c->property("totalCopies").toULongLong(), 11ull);
    }

    void lengthTotalsKeepCountingWhenLarge()
    {
        // Near the end of 200,000 copies of 0.3 m, every copy still counts and
        // the stored total is the sum, exactly, also after a restart.
        double expected = 0.0;
        for (int i = 0; i < 199000; ++i)
            expected += 0.3;
        {
            auto c = start();
            c->setTotalCut(expected);
            QSignalSpy spy(c.get(), &Config::totalCutChanged);
            for (int i = 0; i < 1000; ++i) {
                expected += 0.3;
                c->setTotalCut(c->totalCut() + 0.3);
            }
            QCOMPARE(spy.count(), 1000);
            QCOMPARE(c->totalCut(), expected);
            QCOMPARE(row("").value(1).toDouble(), expected);
        }
        QVERIFY(qAbs(expected - 60000.0) < 1e-3);
        auto again = start();
        QCOMPARE(again->totalCut(), expected);
    }

    void addCountsRaisesDayAndTotalTogether()
    {
        auto c = start();
        QSignalSpy day(c.get(), &Config::todayCopiesChanged);
        QSignalSpy total(c.get(), &Config::totalCutChanged);
        QSignalSpy print(c.get(), &Config::todayPrintChanged);
        WorkDataRecord copy;
        copy.copies = 1;
        copy.cutLen = 0.25;
        c->addCounts(copy);
        c->addCounts(copy);
        QCOMPARE(day.count(), 2);
        QCOMPARE(total.count(), 2);
        QCOMPARE(print.count(), 0);
        QCOMPARE(c->todayCopies(), 2);
        QCOMPARE(c->totalCopies(), 2ull);
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Total/Cut").toDouble(), 0.5, kHangMs);
        QCOMPARE(row("").mid(1), (QVariantList{0.5, 0.0, 2, 0, 0}));
        QCOMPARE(row(todayText()).mid(1), (QVariantList{0.5, 0.0, 2, 0, 0}));
    }

    void firstStartOfANewDayZeroesTheDayCounters()
    {
        writeIni({{"Today/Today", QDate::currentDate().addDays(-1).toString(Qt::ISODate)},
                  {"Today/Copies", 7}, {"Today/Cut", 2.5}, {"Total/Copies", 10}, {"Total/Cut", 9.5}});
        auto c = start();
        QCOMPARE(c->today(), QDate::currentDate());
        QCOMPARE(c->todayCopies(), 0);
        QCOMPARE(c->todayCut(), 0.0);
        QCOMPARE(c->totalCopies(), 10ull);
        QCOMPARE(c->totalCut(), 9.5);
        // Written at once, not waited for.
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Today/Today").toString(), QDate::currentDate().toString(Qt::ISODate), kHangMs);
        QCOMPARE(iniValue("Today/Copies").toUInt(), 0u);
        QCOMPARE(row(todayText()).mid(1), (QVariantList{0.0, 0.0, 0, 0, 0}));
        QCOMPARE(row("").value(3).toInt(), 10);
    }

    void aFreshInstallationCountsAsANewDay()
    {
        QFile::remove(ini());
        auto c = start();
        QCOMPARE(c->today(), QDate::currentDate());
        const QString live = c->liveStorePath();
        QTRY_COMPARE_WITH_TIMEOUT(QSettings(live, QSettings::IniFormat).value("Today/Today").toString(),
                                  QDate::currentDate().toString(Qt::ISODate), kHangMs);
        QCOMPARE(QSettings(live, QSettings::IniFormat).value("Total/Copies").toUInt(), 0u);
    }

    void countsSurviveARestartAndAReplacedSettingsFile()
    {
        {
            auto c = start();
            WorkDataRecord copy;
            copy.copies = 3;
            copy.scanMark = 4;
            c->addCounts(copy);
        }
        QCOMPARE(start()->totalCopies(), 3ull);
        // A settings file installed anew lacks the counters: the store keeps them.
        QFile::remove(ini());
        QFile(ini()).open(QIODevice::WriteOnly);
        auto c = start();
        QCOMPARE(c->totalCopies(), 3ull);
        QCOMPARE(c->todayScanMark(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Total/Copies").toUInt(), 3u, kHangMs);
    }

    // A counted copy reaches the settings file shortly, without a restart,
    // and the file is then no longer taken to lag the store.
    void countedCopyReachesTheFileShortly()
    {
        auto c = start();
        WorkDataRecord copy;
        copy.copies = 2;
        c->addCounts(copy);
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Total/Copies").toUInt(), 2u, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(ini() + ".counting"), kHangMs);
    }

    // A line left running over midnight: one copy before, two after. The day
    // rolls whether the midnight timer or the next copy notices it first.
    void copiesCountOnTheDayTheyWereMade_data()
    {
        QTest::addColumn<bool>("waitForMidnight");
        QTest::newRow("the clock rolls the day at midnight") << true;
        QTest::newRow("the first copy after midnight rolls it") << false;
    }
    void copiesCountOnTheDayTheyWereMade()
    {
        QFETCH(bool, waitForMidnight);
        const QDate day1(2026, 3, 31);
        const QDate day2 = day1.addDays(1);
        QDateTime now(day1, QTime(23, 59, 59));
        auto c = start([&now] { return now; });
        QList<int> shown; // todayCopies as the screen sees it at each change
        connect(c.get(), &Config::todayCopiesChanged, c.get(), [&] { shown << c->todayCopies(); });
        QSignalSpy dayChanged(c.get(), &Config::todayChanged);
        WorkDataRecord copy;
        copy.copies = 1;
        copy.cutLen = 0.25;
        c->addCounts(copy);

        now = QDateTime(day2, QTime(0, 0, 1));
        if (waitForMidnight) {
            QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, kHangMs);
            QCOMPARE(c->todayCopies(), 0);
            QCOMPARE(c->todayCut(), 0.0);
            QCOMPARE(row(day2.toString(Qt::ISODate)).mid(1), (QVariantList{0.0, 0.0, 0, 0, 0}));
            // Asked of the writer on the GUI thread, not waited for.
            QTRY_COMPARE_WITH_TIMEOUT(iniValue("Today/Today").toString(), day2.toString(Qt::ISODate), kHangMs);
        }
        c->addCounts(copy);
        c->addCounts(copy);

        QCOMPARE(shown, (QList<int>{1, 0, 1, 2}));
        QCOMPARE(dayChanged.count(), 1);
        QCOMPARE(c->today(), day2);
        QCOMPARE(c->totalCopies(), 3ull);
        QCOMPARE(row(day1.toString(Qt::ISODate)).mid(1), (QVariantList{0.25, 0.0, 1, 0, 0}));
        QCOMPARE(row(day2.toString(Qt::ISODate)).mid(1), (QVariantList{0.5, 0.0, 2, 0, 0}));
        QCOMPARE(row("").mid(1), (QVariantList{0.75, 0.0, 3, 0, 0}));
        c.reset();
        QCOMPARE(iniValue("Today/Copies").toInt(), 2);
        c = start([&now] { return now; });
        QCOMPARE(c->todayCopies(), 2);
        QCOMPARE(c->totalCopies(), 3ull);
    }

    // A row that cannot be read is never written over, and what was counted
    // meanwhile reaches it once, whatever ends the spell. The steps are
    // counter_steps.h's, "restart", "lock"/"free" (another connection holds
    // the store in exclusive locking mode) and "kill" (the steps before it
    // ran in a child that ended as if killed).
    void anUnreadDayCountsOnceInItsOwnRow_data()
    {
        QTest::addColumn<QString>("steps");
        // today's copies, of this many counts; May 4, 5, 6's rows' copies; the totals
        QTest::addColumn<QList<int>>("end");
        QTest::newRow("midnight into a day with a row") << "row5 hide day5 count back count"
                                                       << QList<int>{7, 7, 0, 7, -1, 2};
        // As the day clock tells it; a count never moves the day back.
        QTest::newRow("the clock set back to a day with a row") << "day6 row5 hide day5 count back count"
                                                               << QList<int>{7, 7, 0, 7, 0, 2};
        QTest::newRow("a second midnight, then a restart") << "count count row5 hide day5 back day6 restart"
                                                          << QList<int>{0, 0, 2, 5, 0, 2};
        QTest::newRow("the same with a copy on the unread day")
            << "count count row5 hide day5 count back day6 restart" << QList<int>{0, 0, 2, 6, 0, 3};
        QTest::newRow("a normal exit") << "row5 hide day5 count count back restart" << QList<int>{7, 7, 0, 7, -1, 2};
        QTest::newRow("the settings read again") << "count count row5 hide day5 restart reread back count"
                                                 << QList<int>{6, 6, 2, 6, -1, 3};
        QTest::newRow("a counter set by hand") << "row5 hide day5 set back count" << QList<int>{101, 6, 0, 101, -1, 1};
        QTest::newRow("killed before config.ini caught up, the rows unreadable at the start")
            << "count count count hide kill restart back count" << QList<int>{4, 4, 4, -1, -1, 4};
        QTest::newRow("the same with the store held at the start")
            << "count count count kill lock restart free count" << QList<int>{4, 4, 4, -1, -1, 4};
        QTest::newRow("the same with the day's row unread before the kill")
            << "count count row5 hide day5 count kill restart back count" << QList<int>{7, 7, 2, 7, -1, 4};
    }
    void anUnreadDayCountsOnceInItsOwnRow()
    {
        QFETCH(QString, steps);
        QFETCH(QList<int>, end);
        qInstallMessageHandler(recordLog);
        const auto restore = qScopeGuard([] { qInstallMessageHandler(nullptr); });
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        std::unique_ptr<Config> c;
        QStringList story = ("restart " + steps).split(' ');
        if (const int kill = story.indexOf("kill"); kill > 0) { // the steps before it in a child
            QProcess child;
            child.start(COUNTER_CHILD, {dir(), "steps", story.mid(1, kill - 1).join(' ')});
            QVERIFY(child.waitForFinished(kHangMs) && child.exitCode() == 0);
            now = QDateTime::fromString(QString::fromLatin1(child.readAllStandardOutput()), Qt::ISODate);
            story = story.mid(kill + 1);
        }
        int most = row("").value(3).toInt(); // the totals' row never goes back (unread while held)
        for (const QString &step : story) {
            if (step == "restart")
                c.reset(), c = start([&now] { return now; });
            else if (step == "lock" || step == "free")
                holdStore(step == "lock");
            else
                counterStep(*c, now, step);
            QVERIFY(!c || c->today() == now.date()); // today is never shown as another day
            const QVariantList total = row("");
            QVERIFY2(total.isEmpty() || total[3].toInt() >= most, qPrintable(step));
            most = total.value(3, most).toInt();
        }
        c.reset();
        const QVariantList day{0.25 * end[1], 0.5 * end[1], end[0], 4 * end[1], 4 * end[1]};
        QVariantList ini{iniValue("Today/Today").toDate()}; // the day and its counts as the file holds them
        for (const char *key : {"Cut", "Print", "Copies", "ScanMark", "ScanMarkOk"})
            ini << iniValue(QString("Today/") + key).toDouble();
        QCOMPARE(ini, QVariantList{now.date()} + day);
        QCOMPARE(row(now.date().toString(Qt::ISODate)).mid(1), day);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(row(QDate(2026, 5, 4 + i).toString(Qt::ISODate)).value(3, -1).toInt(), end[2 + i]);
        QCOMPARE(row("").value(3).toInt(), end[5]);
        QCOMPARE(iniValue("Total/Copies").toInt(), end[5]);
        QVERIFY2(g_log.filter("never read").isEmpty(), qPrintable(g_log.join('\n')));
    }

    // What the line met, each once: a clock set either way, a damaged store,
    // one given a column more for good or while counting, rows unreadable,
    // unwritable or held across kills, midnight and ends.
    void everyCopyReachesItsRowsOnce_data()
    {
        QTest::addColumn<QString>("story");
        QTest::addColumn<QString>("expect"); // the last start's copies, today's and total, if not the model's
        QTest::newRow("a clock set forward by mistake, put right")
            << "start @5T10:00 count @7T10:00 count @5T10:20 count count count @5T11:00 look @5T18:00 count count"
            << "";
        QTest::newRow("time sync steps back across midnight") << "start @6T00:00:01 count @5T23:40 count count" << "";
        QTest::newRow("a store damaged after a kill")
            << "start count count count end start count count sync kill damage start count count end @5T12:00 start "
               "count count"
            << "2 9";
        QTest::newRow("a column more for good") << "start count count count end start count count kill widen" << "";
        QTest::newRow("counted and set unread, killed twice")
            << "start count kill unread start count set kill start count count kill" << "";
        QTest::newRow("unwritable at midnight") << "start unwrite count count day5 count" << "";
        QTest::newRow("one row read again but unwritable, the other unread")
            << "start count count sync count kill unread:t unread:4 start count count read:4 unwrite:4 count count"
            << "";
        QTest::newRow("held from the start, over midnight, to the end")
            << "start count end hold start count day5 count count end" << "";
        QTest::newRow("a column more while counting") << "start count widen count" << "";
        // config.ini as a medium that fails, and the lock files a kill leaves.
        QTest::newRow("held, a copy, let go; config.ini read-only, a copy; a restart")
            << "start hold count free rofile count end start" << "";
        QTest::newRow("the same, set by hand") << "start hold set free rofile count end start" << "";
        QTest::newRow("killed healthy, unread, then with config.ini read-only")
            << "start count count count count count kill unread start count count count count count kill read rofile "
               "start count count kill"
            << "";
        QTest::newRow("a full disk, freed, config.ini read-only, killed")
            << "start full unwrite count room write rofile count kill" << "";
        QTest::newRow("unwritable, killed; config.ini read-only, killed")
            << "start unwrite count count count count count settotal kill write rofile start count count count count "
               "count count count count count count kill"
            << "";
        QTest::newRow("the program folder read-only, a restart") << "start rodir count count count end start" << "";
        QTest::newRow("the program folder read-only, a kill") << "start rodir count count count kill start" << "";
        QTest::newRow("an empty lock file left in a read-only folder") << "start count lock rodir end start count" << "";
        QTest::newRow("a stale lock file left") << "start count stale kill start count" << "";
        QTest::newRow("unwritable over midnight, killed") << "start unwrite count count day5 count count kill" << "";
        QTest::newRow("killed at random instants while threads count")
            << "start count burst start count burst start unwrite burst start" << "";
    }
    void everyCopyReachesItsRowsOnce()
    {
        QFETCH(QString, story);
        QFETCH(QString, expect);
        const QString error = runStory(story.split(' '), expect);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // A power cut brings config.ini and the store back each as it was at a
    // moment of the run, an earlier one or a later: a start takes each row
    // from the newer, and adds no group the store took.
    void aPowerCutTakesTheNewerOfFileAndStore_data()
    {
        QTest::addColumn<QString>("before"); // up to the earlier moment
        QTest::addColumn<QString>("after"); // up to the later one
        QTest::addColumn<QList<int>>("copies"); // today's and the total copies at each moment
        QTest::newRow("counted healthy") << "count count" << "count count count count count" << QList<int>{2, 7, 2, 7};
        QTest::newRow("a group owed, then taken") << "count count unwrite count" << "write count"
                                                  << QList<int>{3, 4, 3, 4};
        QTest::newRow("a group owed and set by hand, then taken") << "count unwrite count set" << "write count"
                                                                  << QList<int>{100, 101, 2, 3};
        // config.ini no longer holds the group later: its record stays.
        QTest::newRow("a group owed, taken, then written out") << "count count unwrite count" << "write count sync count"
                                                               << QList<int>{3, 5, 3, 5};
    }
    void aPowerCutTakesTheNewerOfFileAndStore()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QList<int>, copies);
        const QStringList files{"config.ini", "store/config.db", "store/config.db-wal"};
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        {
            auto c = start([&now] { return now; });
            for (const QString &steps : {before, after}) {
                for (const QString &step : steps.split(' '))
                    step.endsWith("write") ? storeStep(db(), step) : counterStep(*c, now, step);
                c->counters().syncKeys();
                const QString moment = steps == before ? "earlier/" : "later/";
                QDir(dir()).mkpath(moment + "store");
                for (const QString &f : files)
                    QFile::copy(m_dir->filePath(f), m_dir->filePath(moment + f));
            }
        }
        // A run that cannot write config.ini counts two copies, the same day
        // or the next morning, before the start.
        for (const QString &ini : {"earlier/", "later/"}) {
            for (const QString &store : {"earlier/", "later/"}) {
                for (const QDateTime &at : {now, QDateTime(now.date().addDays(1), QTime(7, 0))}) {
                    for (const QString &f : files) {
                        QFile::remove(m_dir->filePath(f));
                        QFile::remove(m_dir->filePath(f.section('-', 0, 0) + "-shm"));
                        QFile::copy(m_dir->filePath((f == "config.ini" ? ini : store) + f), m_dir->filePath(f));
                    }
                    storeStep(db(), "write");
                    const int later = ini == "later/" || store == "later/";
                    const QString combo = QString("config.ini %1, store %2, %3").arg(ini, store, at.toString());
                    countWithoutConfigIni(at, {"count", "count"});
                    {
                        auto c = start([&at] { return at; });
                        QVERIFY2(c->todayCopies() == (at == now ? copies[later] : 0) + 2
                                     && int(c->totalCopies()) == copies[2 + later] + 2,
                                 qPrintable(combo + ": shown " + shownCounters(*c)));
                    }
                    QVERIFY2(row("2026-05-04").value(3).toInt() == copies[later] + (at == now) * 2
                                 && row("").value(3).toInt() == copies[2 + later] + 2,
                             qPrintable(combo));
                }
            }
        }
    }

    // A power cut at any sync or rename of a counting child, or as a step
    // returns, leaves each of config.ini and the store as the disk held it
    // or as the process left it. A run that cannot write config.ini then
    // counts two copies (the day of the cut or the next morning), and a
    // start ends it: the rows hold every step that returned, once, and the
    // one under way whole or not at all.
    void aPowerCutKeepsEveryStepThatReturned_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("thread"); // counter_child's: the GUI thread, or a job's
        QTest::newRow("an evening's copies") << "count count sync count count" << QStringList{};
        QTest::newRow("midnight") << "@4T23:59 count count @5T0:00:01 count count" << QStringList{};
        QTest::newRow("the day set, set by hand") << "count day5 count set count settotal sync count" << QStringList{};
        QTest::newRow("the store unwritable a while") << "count unwrite count set count write count" << QStringList{};
        QTest::newRow("the store failing, on the GUI thread")
            << "count unwrite count set write unread:4 count count read:4 count" << QStringList{"gui"};
    }
    void aPowerCutKeepsEveryStepThatReturned()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, thread);
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        counterStep(*start([&now] { return now; }), now, "count");
        const QList<QDate> days{QDate(2026, 5, 3), QDate(2026, 5, 4), QDate(2026, 5, 5), QDate(2026, 5, 6), QDate()};
        QList<QMap<QDate, QList<double>>> model{{}}; // the rows after each step: cut, print, copies, marks, good
        const auto count = [](QMap<QDate, QList<double>> &rows, const QDate &day, double copies) {
            for (const QDate &d : {day, QDate()})
                for (int f = 0; f < 5; ++f)
                    (rows[d] = rows.value(d, {0, 0, 0, 0, 0}))[f] += copies * QList<double>{0.25, 0.5, 1, 4, 4}[f];
        };
        count(model[0], now.date(), 1);
        for (const QString &step : steps.split(' ')) {
            model << model.last();
            clockStep(now, step);
            count(model.last(), now.date(), step == "count");
            if (step.startsWith("set"))
                model.last()[step == "set" ? now.date() : QDate()][2] = step == "set" ? 100 : 50;
        }
        QTemporaryDir cuts(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/cuts-XXXXXX" : QDir::tempPath() + "/cuts-XXXXXX");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SPOOLSMITH_CUTS", cuts.path());
        child.setProcessEnvironment(env);
        child.start(COUNTER_CHILD, QStringList{dir(), "steps", steps} + thread);
        QVERIFY(child.waitForFinished(kHangMs) && child.exitCode() == 0);
        // Each state once: "<point> <config.ini's> <the store's> <next morning>", by what its files hold.
        QMap<QByteArray, QStringList> states;
        const auto files = [](const QString &folder) {
            QByteArray all;
            for (const QString &name : QDir(folder).entryList(QDir::Files)) {
                QFile f(folder + '/' + name);
                all += name.toUtf8() + (f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5) : "");
            }
            return all;
        };
        for (const QString &point : QDir(cuts.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString &ini : {"durable", "current"})
                for (const QString &store : {"durable", "current"})
                    for (const QString &morning : {"", "1"})
                        states.insert(point.section('-', 1).toLatin1() + morning.toLatin1() + files(cuts.filePath(point + '/' + ini))
                                          + files(cuts.filePath(point + '/' + store + "/store")),
                                      {point, ini, store, morning});
        // SPOOLSMITH_FULL_SWEEPS=1 starts on every one; SPOOLSMITH_CUT_SEED=N draws as N did.
        QList<QStringList> chosen = states.values();
        const quint32 seed = qEnvironmentVariable("SPOOLSMITH_CUT_SEED", QString::number(QRandomGenerator::global()->generate())).toUInt();
        std::printf("%lld states a power cut leaves, seed %u\n", qint64(chosen.size()), seed);
        std::shuffle(chosen.begin(), chosen.end(), std::mt19937(seed));
        for (const QStringList &state : chosen.mid(0, sweepSize(16, int(chosen.size())))) {
            init();
            for (const QString &sub : {"", "/store"}) {
                const QString from = cuts.filePath(state[0] + '/' + state[sub.isEmpty() ? 1 : 2] + sub);
                for (const QString &name : QDir(from).entryList(QDir::Files))
                    QFile::remove(dir() + sub + '/' + name), QFile::copy(from + '/' + name, dir() + sub + '/' + name);
            }
            storeStep(db(), "write"), storeStep(db(), "read");
            const QDateTime at = state[3].isEmpty() ? now : QDateTime(now.date().addDays(1), QTime(7, 0));
            countWithoutConfigIni(at, {"count", "count"});
            { start([&at] { return at; }); }
            QString rows;
            QStringList wanted; // after the steps that returned, or one more
            for (const QDate &d : days)
                rows += ' ' + join((row(DbConfig::dayKey(d)).mid(1) + QVariantList{0, 0, 0, 0, 0}).mid(0, 5));
            for (int j = state[0].section('-', 1).toInt(); wanted.size() < 2 && j < model.size(); ++j) {
                QMap<QDate, QList<double>> want = model[j];
                count(want, at.date(), 2);
                wanted << QString();
                for (const QDate &d : days) {
                    const QList<double> r = want.value(d, {0, 0, 0, 0, 0});
                    wanted.last() += ' ' + join(QVariantList(r.begin(), r.end()));
                }
            }
            QVERIFY2(wanted.contains(rows), qPrintable(state.join(' ') + ": rows (May 3-6, totals)" + rows + ", model" + wanted.join(" or")));
        }
    }

    // Killed right after each write of config.ini, every write of a run in
    // which the rows cannot take copies and the day changes: the totals and
    // the day rows never part a copy.
    void killedAfterAnyWriteOfConfigIniPartsNoCopy()
    {
        for (int write = 1;; ++write) {
            init();
            { start(); }
            storeStep(db(), "unwrite");
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("SPOOLSMITH_DIE_AT_RENAME", QString::number(write));
            child.setProcessEnvironment(env);
            child.start(COUNTER_CHILD, {dir(), "steps", "@4T23:59 count count day5 count count"});
            QVERIFY(child.waitForFinished(kHangMs));
            storeStep(db(), "write");
            { auto c = start([] { return QDateTime(QDate(2026, 5, 5), QTime(12, 0)); }); }
            const int total = row("").value(3).toInt(), day4 = row("2026-05-04").value(3).toInt();
            QVERIFY2(total <= 4 && total == day4 + row("2026-05-05").value(3).toInt(),
                     qPrintable(QString("killed after write %1: totals %2, May 4 %3").arg(write).arg(total).arg(day4)));
            if (child.exitStatus() == QProcess::NormalExit)
                break;
        }
    }

    // Seeded random stories of every step, each held to the model; a failing
    // one is printed whole and shortened.
    void randomStoriesKeepEveryCopy()
    {
        // SPOOLSMITH_COUNTER_SEED=N runs that story alone.
        const int only = qEnvironmentVariableIntValue("SPOOLSMITH_COUNTER_SEED");
        for (int seed = only ? only : 1; seed <= (only ? only : sweepSize(200, 2000)); ++seed) {
            const QStringList story = randomStory(seed);
            if (only)
                std::printf("story %d: %s\n", seed, qPrintable(story.join(' ')));
            const QString error = runStory(story);
            if (error.isEmpty())
                continue;
            QStringList shorter = story;
            for (int i = 0; i < shorter.size();) {
                QStringList without = shorter;
                without.removeAt(i);
                runStory(without).isEmpty() ? void(++i) : void(shorter = without);
            }
            QFAIL(qPrintable(QString("seed %1: %2\n%3\nshortened: %4\n%5")
                                 .arg(seed).arg(error, story.join(' '), shorter.join(' '), runStory(shorter))));
        }
    }

    // Two threads count 5,000 copies each; the clock turns to May 5 at the
    // 3,000th: the day moves once, and every copy is in a row.
    void countingThreadsAtMidnightMoveTheDayOnce_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<int>("copies"); // by each thread; an unreadable row syncs config.ini at each
        QTest::newRow("the new day's row readable") << false << 5000;
        QTest::newRow("the new day's row unreadable") << true << 1000;
    }
    void countingThreadsAtMidnightMoveTheDayOnce()
    {
        QFETCH(bool, hidden);
        QFETCH(int, copies);
        std::atomic<int> counted{0}, moves{0};
        QDateTime now(QDate(2026, 5, 4), QTime(23, 59, 59));
        auto c = start([&] { return now.addSecs(counted < copies * 6 / 10 ? 0 : 2); });
        connect(c.get(), &Config::todayChanged, c.get(), [&] { ++moves; }, Qt::DirectConnection);
        counterStep(*c, now, "row5");
        if (hidden)
            counterStep(*c, now, "hide");
        const auto count = [&] {
            for (int i = 0; i < copies; ++i, ++counted)
                c->addCounts({QDate(), 0, 0, 1});
        };
        std::thread a(count), b(count);
        a.join(), b.join();
        if (hidden)
            counterStep(*c, now, "back");
        c.reset();
        QCOMPARE(moves.load(), 1);
        QCOMPARE(row("2026-05-04").value(3).toInt() + row("2026-05-05").value(3).toInt(), 2 * copies + 5);
        QCOMPARE(row("").value(3).toInt(), 2 * copies);
    }

    void killedRightAfterACountedCopyKeepsItOnce_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("one change per copy") << "adds";
        QTest::newRow("property setters") << "setters";
    }
    void killedRightAfterACountedCopyKeepsItOnce()
    {
        QFETCH(QString, mode);
        runChild(mode, 5, 5);
        runChild(mode, 3, 3);
        double cut = 0.0;
        for (int i = 0; i < 8; ++i)
            cut += 0.3;
        auto c = start();
        QCOMPARE(c->totalCopies(), 8ull);
        QCOMPARE(c->todayCopies(), 8);
        QCOMPARE(qRound(c->totalCut() * 10), qRound(cut * 10));
        QCOMPARE(row("").value(3).toInt(), 8);
        QCOMPARE(row(todayText()).value(3).toInt(), 8);
    }

    // A settings file that cannot be written (a file-size limit stands for a
    // full disk) or a process killed as a copy is committed to the store:
    // every counted copy and the day's counts are there after a restart.
    void countedCopiesOutliveAFileThatLags_data()
    {
        QTest::addColumn<QByteArray>("before"); // config.ini before the run
        QTest::addColumn<QStringList>("run"); // counter_child's arguments after the mode
        QTest::addColumn<int>("today");
        QTest::addColumn<int>("total");
        const QByteArray yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate).toLatin1();
        QTest::newRow("damaged file, disk full after 5 of 10")
            << QByteArray("[Broken\n") << QStringList{"10", "full-after", "5"} << 10 << 10;
        QTest::newRow("file unwritable from the day's first start")
            << "[Today]\nToday=" + yesterday + "\nCopies=7\n[Total]\nCopies=7\n"
            << QStringList{"5", "full-after", "0"} << 5 << 12;
        QTest::newRow("killed between the store's commit and the marker")
            << QByteArray() << QStringList{"3", "die-at", "3"} << 3 << 3;
    }
    void countedCopiesOutliveAFileThatLags()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, run);
        QFETCH(int, today);
        QFETCH(int, total);
        {
            QFile file(ini());
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Larger than the child's file-size limit, so no write of it
            // passes; in small sections, written as a settings file is.
            for (int i = 0; i < 128; ++i)
                file.write("[Padding" + QByteArray::number(i) + "]\nfill=" + QByteArray(4096, 'x') + "\n");
            file.write(before);
        }
        QProcess child;
        child.start(COUNTER_CHILD, QStringList{dir(), "adds"} + run);
        QVERIFY(child.waitForFinished(kHangMs));
        const bool dies = run.contains("die-at");
        QCOMPARE(child.exitStatus(), dies ? QProcess::CrashExit : QProcess::NormalExit);
        QVERIFY2(dies || child.exitCode() == 0, child.readAllStandardError().constData());
        if (!dies)
            QVERIFY(iniValue("Total/Copies").toInt() < total); // the file did lag
        auto c = start();
        QCOMPARE(c->today(), QDate::currentDate());
        QCOMPARE(c->todayCopies(), today);
        QCOMPARE(c->totalCopies(), quint64(total));
        QCOMPARE(row("").value(3).toInt(), total);
        QCOMPARE(row(todayText()).value(3).toInt(), today);
        QTRY_COMPARE_WITH_TIMEOUT(iniValue("Total/Copies").toInt(), total, kHangMs);
        QVERIFY(!QFile::exists(ini() + ".counting"));
    }

    void killedWhileCountingLeavesDayAndTotalAgreeing()
    {
        runChild("adds", 100000, 40);
        auto c = start();
        QVERIFY(c->totalCopies() >= 40);
        QCOMPARE(quint64(c->todayCopies()), c->totalCopies());
        QCOMPARE(c->todayCut(), c->totalCut());
        QCOMPARE(row("").value(3).toULongLong(), c->totalCopies());
    }

    void readOnlyStoreIsLoggedAndCountingGoesOn()
    {
        { auto c = start(); }
        QVERIFY(QFile::setPermissions(db(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // Root ignores file modes: the child runs without capabilities.
        const QStringList wrapper = ::geteuid() == 0
            ? QStringList{QStandardPaths::findExecutable("setpriv"), "--bounding-set=-all", "--inh-caps=-all", "--"}
            : QStringList{};
        if (!wrapper.isEmpty() && wrapper.first().isEmpty())
            QSKIP("running as root without setpriv: a read-only file cannot be made");
        QByteArray errors;
        runChild("adds", 2, 0, wrapper, &errors);
        QVERIFY2(errors.contains("readonly database"), errors.constData());
        // config.ini read-only as well: a clean end says what is lost.
        QFile::setPermissions(ini(), QFile::ReadOwner);
        runChild("adds", 2, 0, wrapper, &errors);
        QVERIFY2(errors.contains("these are lost: copies 2,"), errors.constData());
        QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(db(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(iniValue("Total/Copies").toUInt(), 2u);
    }

    // config.ini's disk stuck: nothing the store took waits for it (a start,
    // copies after midnight on a job thread, hand sets); a copy only
    // config.ini can hold waits its bound and says it is in memory only.
    void aStuckDiskHoldsNothingTheStoreTook()
    {
        qInstallMessageHandler(recordLog);
        QFile(m_dir->filePath("configDefault.ini")).open(QIODevice::WriteOnly); // no copy of config.ini made
        QDateTime now(QDate(2026, 5, 4), QTime(12, 0));
        std::atomic<bool> done{false};
        std::thread job;
        g_stuckDisk = true;
        auto c = start([&now] { return now; });
        const auto letGo = qScopeGuard([&] {
            g_stuckDisk = false;
            if (job.joinable())
                job.join();
            qInstallMessageHandler(nullptr);
        });
        job = std::thread([&] {
            for (int day = 5; day < 15; ++day)
                for (const QString &step : {QString("@%1T0:00:01").arg(day), QString("count"), QString("set"), QString("settotal")})
                    counterStep(*c, now, step);
            counterStep(*c, now, "unwrite"), counterStep(*c, now, "count");
            done = true;
        });
        // Each would wait 5 s for config.ini: together, a hang.
        QTRY_VERIFY_WITH_TIMEOUT(done, kHangMs);
        QVERIFY2(!g_log.filter("in memory only").isEmpty(), qPrintable(g_log.join('\n')));
    }

    // config.ini cut short inside a number at the store's version: the keys
    // can only be a copy of the row, which wins.
    void aFileCutShortInANumberLosesNoCopy()
    {
        { start()->setTotalCopies(12); }
        QFile file(ini());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray text = file.readAll();
        file.resize(text.indexOf("Copies=12", text.indexOf("[Total]")) + 8);
        file.close();
        QCOMPARE(iniValue("Total/Copies").toInt(), 1);
        QCOMPARE(start()->totalCopies(), 12ull);
    }

    void lockedStoreAtStartIsLoggedAndCountingGoesOn()
    {
        { auto c = start(); }
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
            other.setDatabaseName(db());
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec("BEGIN EXCLUSIVE"));
            qInstallMessageHandler(recordLog);
            {
                auto c = start();
                c->setTotalCopies(6);
                QCOMPARE(c->totalCopies(), 6ull);
            }
            qInstallMessageHandler(nullptr);
            QVERIFY(q.exec("ROLLBACK"));
        }
        QSqlDatabase::removeDatabase("locker");
        QVERIFY2(!g_log.filter("database is locked").isEmpty(), qPrintable(g_log.join('\n')));
        QCOMPARE(iniValue("Total/Copies").toUInt(), 6u);
        // The next start brings the store up to the settings file.
        auto c = start();
        QCOMPARE(row("").value(3).toInt(), 6);
    }
};

QTEST_GUILESS_MAIN(TestCounters)
#include "tst_counters.moc"
