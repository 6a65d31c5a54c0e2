#include "app/logging.h"

#include <QDate>
#include <QDir>
#include <QFile>
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
            QVERIFY(th->wait(30000));
            delete th;
        }
        const QStringList lines = readLines();
        QCOMPARE(lines.size(), 800);
        for (const QString &line : lines)
            QVERIFY2(line.startsWith(QStringLiteral("INFO ")) && line.contains(QStringLiteral("Worker::run")),
                     qPrintable(line));
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
