#include "app/logging.h"
#include "app/log_limiter.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QString dayName(int daysAgo)
{
    return QStringLiteral("output%1.log")
        .arg(QDate::currentDate().addDays(-daysAgo).toString(QStringLiteral("yyyy-MM-dd")));
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QStringList readLines()
{
    QFile f(logFilePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
        setLogDebug(false);
        setLogWarn(true);
        setLogError(true);
        setLogInfo(true);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void rotationKeepsSevenFiles_data()
    {
        QTest::addColumn<int>("pastDays");
        QTest::addColumn<bool>("todayPresent");
        QTest::addColumn<int>("remainingBeforeToday");
        // Ten old days: the four oldest go, six stay, today's becomes the seventh.
        QTest::newRow("ten past days") << 10 << false << 6;
        // Six old days and today's: nothing goes.
        QTest::newRow("today newest") << 6 << true << 7;
        QTest::newRow("few files") << 3 << false << 3;
    }
    void rotationKeepsSevenFiles()
    {
        QFETCH(int, pastDays);
        QFETCH(bool, todayPresent);
        QFETCH(int, remainingBeforeToday);
        QDir().mkpath(QStringLiteral("log"));
        for (int d = 1; d <= pastDays; ++d)
            touch(QStringLiteral("log/") + dayName(d));
        if (todayPresent)
            touch(QStringLiteral("log/") + dayName(0));

        initLog();
        QStringList left = QDir(QStringLiteral("log")).entryList({"*.log"}, QDir::Files, QDir::Name);
        QCOMPARE(left.size(), remainingBeforeToday);
        // The oldest were the ones deleted.
        if (pastDays > remainingBeforeToday && !todayPresent)
            QCOMPARE(left.first(), dayName(remainingBeforeToday));

        qInfo() << "first line";
        left = QDir(QStringLiteral("log")).entryList({"*.log"}, QDir::Files, QDir::Name);
        QVERIFY(left.size() <= 7);
        QCOMPARE(left.last(), dayName(0));
    }

    void lineFormat()
    {
        initLog();
        QCOMPARE(logFilePath(), QStringLiteral("./log/") + dayName(0));
        qInfo().noquote() << "  SpoolsmithApp::test value 3\n";
        qWarning() << "Config::x";
        qCritical() << "DbConfig::exec";
        setLogDebug(true);
        qDebug() << "TRV610Plus::y";

        const QStringList lines = readLines();
        QCOMPARE(lines.size(), 4);
        const QRegularExpression shape(
            QStringLiteral(R"(^(INFO|WARN|ERROR|DEBUG) \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S.*$)"));
        for (const QString &line : lines)
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
        QVERIFY(lines[0].startsWith(QStringLiteral("INFO ")));
        QVERIFY(lines[0].endsWith(QStringLiteral(" SpoolsmithApp::test value 3")));
        QVERIFY(lines[1].startsWith(QStringLiteral("WARN ")));
        QVERIFY(lines[2].startsWith(QStringLiteral("ERROR ")));
        QVERIFY(lines[3].startsWith(QStringLiteral("DEBUG ")));
    }

    void switchesActAtRunTime()
    {
        initLog();
        qDebug() << "hidden by default";
        setLogError(false);
        qCritical() << "not written";
        setLogInfo(false);
        qInfo() << "not written";
        setLogWarn(false);
        qWarning() << "not written";
        QCOMPARE(readLines().size(), 0);
        setLogError(true);
        qCritical() << "written";
        QCOMPARE(readLines().size(), 1);
    }

    void fatalIsWrittenThenAborts()
    {
        initLog();
        setLogError(false);
        const pid_t child = fork();
        if (child == 0) {
            qFatal("TRV610Plus::fatal end");
            _exit(0); // not reached
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGABRT);
        const QStringList lines = readLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(QStringLiteral("FATAL ")));
        QVERIFY(lines[0].endsWith(QStringLiteral("TRV610Plus::fatal end")));
    }

    void deletedFileIsCreatedAgain()
    {
        initLog();
        qInfo() << "one";
        QVERIFY(QFile::remove(logFilePath()));
        qInfo() << "two";
        QCOMPARE(readLines().size(), 1);
    }

    void concurrentLinesNeverInterleave()
    {
        initLog();
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qInfo() << "Worker::run" << t << i;
            });
            threads.last()->start();
        }
        for (QThread *th : threads) {
            QVERIFY(th->wait(kHangMs));
            delete th;
        }
        const QStringList lines = readLines();
        QCOMPARE(lines.size(), 800);
        for (const QString &line : lines)
            QVERIFY2(line.startsWith(QStringLiteral("INFO ")) && line.contains(QStringLiteral("Worker::run")),
                     qPrintable(line));
    }

    // The same line again is counted, and the count written at most once a
    // second and before the next other line.
    void repeatedLinesAreCounted()
    {
        LogLimiter l;
        QCOMPARE(l.feed("WARN a", 0), QStringList{"WARN a"});
        for (int ms = 1; ms < 1000; ++ms)
            QVERIFY(l.feed("WARN a", ms).isEmpty());
        QCOMPARE(l.feed("WARN a", 1000), QStringList{"WARN a … repeated 1000 times"});
        QVERIFY(l.feed("WARN a", 1500).isEmpty());
        // Two lines in turn, as a bad frame gives: each counted on its own.
        QCOMPARE(l.feed("ERROR b", 1600), QStringList{"ERROR b"});
        for (int ms = 1601; ms < 2000; ++ms) {
            QVERIFY(l.feed("WARN a", ms).isEmpty());
            QVERIFY(l.feed("ERROR b", ms).isEmpty());
        }
        QCOMPARE(l.feed("WARN a", 2000), QStringList{"WARN a … repeated 401 times"});
        QCOMPARE(l.feed("INFO c", 2600), (QStringList{"ERROR b … repeated 399 times", "INFO c"}));
        // Eight other lines push a line out: it is new again.
        for (int i = 0; i < 8; ++i)
            QCOMPARE(l.feed(QString("INFO %1").arg(i), 2601), QStringList{QString("INFO %1").arg(i)});
        QCOMPARE(l.feed("WARN a", 2602), QStringList{"WARN a"});

        l.setDayBytes(10000);
        QCOMPARE(l.room(0, 100), LogLimiter::Room::Write);
        QCOMPARE(l.room(9700, 100), LogLimiter::Room::WriteClosing);
        QCOMPARE(l.room(9700, 1), LogLimiter::Room::Full);
        QCOMPARE(l.room(0, 1), LogLimiter::Room::Write); // the file was deleted meanwhile
    }

    // A held count goes out by itself once its second is up, and at the
    // log's close, dated by the repeat it counts, not by a later line.
    void heldRepeatIsWrittenAtItsOwnTime_data()
    {
        QTest::addColumn<bool>("atClose");
        QTest::newRow("its second up") << false;
        QTest::newRow("log closed") << true;
    }
    void heldRepeatIsWrittenAtItsOwnTime()
    {
        QFETCH(bool, atClose);
        initLog();
        const auto close = qScopeGuard([] { closeLog(); });
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        qWarning() << "CameraFrames::grab" << "bad frame";
        QTest::qWait(300);
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-20);
        qWarning() << "CameraFrames::grab" << "bad frame";
        const QDateTime after = QDateTime::currentDateTime().addMSecs(20);
        const auto repeatLines = [] { return readLines().filter(QStringLiteral("repeated 1 times")); };
        if (atClose) {
            closeLog();
            QCOMPARE(repeatLines().size(), 1);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(repeatLines().size(), 1, kHangMs);
        }
        // Due a second after the first line.
        QVERIFY2(sinceFirst.elapsed() < kHangMs, qPrintable(QString::number(sinceFirst.elapsed())));
        const QString line = repeatLines().first();
        QVERIFY2(line.startsWith(QStringLiteral("WARN ")), qPrintable(line));
        const QDateTime stamp = QDateTime::fromString(line.mid(5, 23), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        QVERIFY2(stamp >= before && stamp <= after, qPrintable(line));
        QCOMPARE(readLines().size(), 2);
    }

    // A machine flooding the link with unasked-for frames: identical lines
    // collapse into counts, and different ones stop at the day's bound.
    void frameFloodKeepsTheLogBounded()
    {
        initLog();
        setLogDayBytes(256 * 1024);
        const auto restore = qScopeGuard([] { setLogDayBytes(LogLimiter::kDayBytes); });
        DeviceFixture f;
        QVERIFY(f.setUp());
        qInstallMessageHandler(logMessageHandler); // the fixture quiets the info lines only
        QVERIFY(f.link());
        const QByteArray unasked = MachineFrame::wrap("CMD;99,1;");
        QByteArray flood;
        for (int i = 0; i < 20000; ++i)
            flood += unasked;
        f.sim->sendRawToAll(flood);
        f.sim->sendRawToAll(MachineFrame::wrap("CMD;98,1;"));
        QTRY_VERIFY2_WITH_TIMEOUT(readLines().filter("98,1").size() >= 1, qPrintable(readLines().join("\n").left(3000)), kHangMs);
        // The counts go out once their second is up, with a later line; in
        // all they account for every frame of the flood.
        const auto countedFrames = [&] {
            int total = 0;
            for (const QString &line : readLines().filter("decode error recv \"\\x02\"\"14;CMD;99,1;"))
                total += line.contains("repeated") ? line.section(QLatin1Char(' '), -2, -2).toInt() : 1;
            return total;
        };
        const auto allCounted = [&] {
            f.sim->sendRawToAll(MachineFrame::wrap("CMD;98,1;"));
            return countedFrames() == 20000;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(allCounted(), qPrintable(QString::number(countedFrames())), kHangMs);
        const QStringList lines = readLines();
        QVERIFY(!lines.filter(QRegularExpression("99,1.*… repeated \\d+ times")).isEmpty());
        // 40000 lines without the counting; a few per second of flood with it.
        QVERIFY2(lines.size() < 200, qPrintable(lines.join('\n').left(3000)));

        // Every frame different: the file grows to its bound and says so.
        flood.clear();
        for (int i = 0; i < 20000; ++i)
            flood += MachineFrame::wrap("CMD;99,1," + QByteArray::number(i) + ";");
        f.sim->sendRawToAll(flood);
        f.sim->sendRawToAll(MachineFrame::wrap("CMD;97,1;"));
        const auto closed = [] {
            const QStringList now = readLines();
            return !now.isEmpty() && now.last().endsWith(LogLimiter::closingLine().mid(5));
        };
        QTRY_VERIFY_WITH_TIMEOUT(closed(), kHangMs);
        QVERIFY(QFileInfo(logFilePath()).size() <= 256 * 1024);
        f.sim->sendRawToAll(MachineFrame::wrap("CMD;96,1;"));
        // The link still works once the backlog of the flood is read.
        QTRY_VERIFY_WITH_TIMEOUT(f.device->sendCMD(TRV610Plus::packFrame("CCMD", "6,0,0,0;")), kHangMs);
        QVERIFY(QFileInfo(logFilePath()).size() <= 256 * 1024);
        QVERIFY(closed());
        f.tearDown();
    }

    void decodesUtf8OrGbk()
    {
        const QString text = QStringLiteral("标签检测");
        QCOMPARE(decodeUtf8OrGbk(text.toUtf8()), text);
        const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(text);
        QVERIFY(gbk != text.toUtf8());
        QCOMPARE(decodeUtf8OrGbk(gbk), text);
        QCOMPARE(decodeUtf8OrGbk(QByteArray("plain")), QStringLiteral("plain"));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
