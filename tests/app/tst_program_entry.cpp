// The program entry as a whole: each case copies the program into a fresh
// folder and runs it as its own process.
#include "tests/support/hang_bound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

class ProgramFolder
{
public:
    ProgramFolder()
    {
        m_exe = m_dir.filePath(QStringLiteral("Spoolsmith"));
        QFile::copy(QStringLiteral(ENTRY_HARNESS), m_exe);
        QDir(m_dir.path()).mkpath(QStringLiteral("translations"));
        const QString qm = QStringLiteral(TRANSLATIONS_DIR "/Spoolsmith_en_US.qm");
        QFile::copy(qm, m_dir.filePath(QStringLiteral("translations/Spoolsmith_en_US.qm")));
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &data) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    QByteArray readFile(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString report(const QString &key) const
    {
        for (const QByteArray &line : readFile(QStringLiteral("report.txt")).split('\n')) {
            if (line.startsWith(key.toUtf8() + '='))
                return QString::fromUtf8(line.mid(key.size() + 1));
        }
        return QString();
    }

    void start(QProcess &p, const QString &plan, const QStringList &args = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SPOOLSMITH_HARNESS"), plan);
        // Other test runs on this machine must not hold our segment.
        env.insert(QStringLiteral("SPOOLSMITH_INSTANCE_KEY"),
                   QStringLiteral("Spoolsmith.exe-test-%1").arg(QCoreApplication::applicationPid()));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(m_exe, args);
    }

    // Runs to the end and returns the exit code as the process reported it.
    int run(const QString &plan, const QStringList &args = {}) const
    {
        QProcess p;
        start(p, plan, args);
        if (!p.waitForFinished(kHangMs))
            return -1000;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2000;
    }

private:
    QTemporaryDir m_dir;
    QString m_exe;
};

bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

} // namespace

class TestProgramEntry : public QObject
{
    Q_OBJECT

private slots:
    void testArgument_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("test first") << QStringList{"test"} << "1";
        QTest::newRow("capitals") << QStringList{"TEST"} << "0";
        QTest::newRow("test second") << QStringList{"x", "test"} << "0";
        QTest::newRow("none") << QStringList{} << "0";
    }
    void testArgument()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, enabled);
        ProgramFolder folder;
        QCOMPARE(folder.run(QStringLiteral("exit-in-loop:0"), args), 0);
        QCOMPARE(folder.report(QStringLiteral("enabledTest")), enabled);
    }

    void exitCodeBeforeAndDuringTheLoop()
    {
        ProgramFolder folder;
        // Stored before the loop: the loop is skipped and the code returned.
        QCOMPARE(folder.run(QStringLiteral("exit:5")), 5);
        QVERIFY(QFile::exists(folder.path(QStringLiteral("started"))));
        QVERIFY(!QFile::exists(folder.path(QStringLiteral("looped"))));
        // From inside the loop: the loop ran and its code is returned.
        QCOMPARE(folder.run(QStringLiteral("exit-in-loop:5")), 5);
        QVERIFY(QFile::exists(folder.path(QStringLiteral("looped"))));
    }

    void restartOn777()
    {
        ProgramFolder folder;
        QCOMPARE(folder.run(QStringLiteral("restart-once")), 0);
        // The detached copy starts, counts its run and ends by itself.
        QTRY_COMPARE_WITH_TIMEOUT(folder.readFile(QStringLiteral("runs")), QByteArray("2"), kHangMs);
        const qint64 pid = folder.readFile(QStringLiteral("started")).toLongLong();
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), kHangMs);
    }

    void secondInstanceIsRefused()
    {
        ProgramFolder first;
        QProcess running;
        first.start(running, QStringLiteral("stay"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first.path(QStringLiteral("started"))), kHangMs);

        ProgramFolder second;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(qint8(second.run(QStringLiteral("exit-in-loop:0"))), qint8(-1));
        QVERIFY2(clock.elapsed() >= 2900, "the information box stays 3000 ms");
        QVERIFY(!QFile::exists(second.path(QStringLiteral("started"))));

        QCOMPARE(running.state(), QProcess::Running);
        first.writeFile(QStringLiteral("stop"), "1");
        QVERIFY(running.waitForFinished(kHangMs));
        QCOMPARE(running.exitCode(), 0);
    }

    void staleSegmentDoesNotBlock()
    {
        ProgramFolder crashed;
        QProcess running;
        crashed.start(running, QStringLiteral("stay"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(crashed.path(QStringLiteral("started"))), kHangMs);
        running.kill();
        QVERIFY(running.waitForFinished(kHangMs));

        ProgramFolder next;
        QCOMPARE(next.run(QStringLiteral("exit:3")), 3);
    }

    void languageInstallsTranslation_data()
    {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QString>("label");
        QTest::newRow("chinese") << QByteArray("0") << QStringLiteral("陀螺仪触发值");
        QTest::newRow("english") << QByteArray("1") << QStringLiteral("Gyroscope trigger");
    }
    void languageInstallsTranslation()
    {
        QFETCH(QByteArray, language);
        QFETCH(QString, label);
        ProgramFolder folder;
        folder.writeFile(QStringLiteral("config.ini"), "[Spoolsmith]\nLanguage=" + language + "\n");
        QCOMPARE(folder.run(QStringLiteral("exit-in-loop:0")), 0);
        QCOMPARE(folder.report(QStringLiteral("label0")), label);
    }

    void corruptConfigStillStarts()
    {
        ProgramFolder folder;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 131) % 256));
        folder.writeFile(QStringLiteral("config.ini"), garbage);
        QCOMPARE(folder.run(QStringLiteral("exit-in-loop:0")), 0);
        QVERIFY(folder.readFile(QStringLiteral("config.ini")).contains("Gyroscope_Trigger=3"));
    }

    void startsWithoutCameraOrOcrModels()
    {
        // A bare program folder: no industrial camera, no OCR models. The
        // program starts and runs; the log says what is missing.
        ProgramFolder folder;
        QCOMPARE(folder.run(QStringLiteral("exit-in-loop:0")), 0);
        QByteArray log;
        for (const QString &name : QDir(folder.path(QStringLiteral("log"))).entryList({QStringLiteral("output*.log")}))
            log += folder.readFile(QStringLiteral("log/") + name);
        QVERIFY(log.contains("HKCamera::searchCamera Find No Devices!"));
        QVERIFY(log.contains("no industrial check camera, frame loop not started"));
        QVERIFY(log.contains("Failed to initialize models."));
    }
};

QTEST_GUILESS_MAIN(TestProgramEntry)
#include "tst_program_entry.moc"
