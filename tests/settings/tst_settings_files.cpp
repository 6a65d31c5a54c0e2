// Replacing a settings file survives the process being killed at any moment.
#include "settings/settings_files.h"
#include "tests/support/hang_bound.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFiles : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

private slots:
    void killedDuringAReplaceLeavesAWholeFile()
    {
        QTemporaryDir dir;
        // Big enough that a copy takes a while, so kills land inside one.
        const QByteArray a(2 * 1024 * 1024, 'a');
        const QByteArray b(2 * 1024 * 1024, 'b');
        write(dir.filePath("a.ini"), a);
        write(dir.filePath("b.ini"), b);
        const QString target = dir.filePath("config.ini");
        write(target, a);
        for (int round = 0; round < 15; ++round) {
            QProcess child;
            child.start(REPLACE_CHILD, {dir.filePath("a.ini"), dir.filePath("b.ini"), target});
            QVERIFY(child.waitForStarted(kHangMs));
            QVERIFY(child.waitForReadyRead(kHangMs));
            // Somewhere inside a later copy.
            QTest::qWait(int(QRandomGenerator::global()->bounded(1, 12)));
            child.kill();
            QVERIFY(child.waitForFinished(kHangMs));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            const QByteArray left = read(target);
            QVERIFY2(left == a || left == b, qPrintable(QString("round %1: %2 bytes, starts %3")
                                                            .arg(round)
                                                            .arg(left.size())
                                                            .arg(QString::fromLatin1(left.left(10)))));
        }
    }

    void tableDefaultsAreWrittenWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("configDefault.ini");
        QVERIFY(SettingsFiles::writeTableDefaults(path));
        const QByteArray text = read(path);
        QVERIFY(text.contains("waitTcpRet=500"));
        QVERIFY(text.contains("[LogSetting]"));
        QVERIFY(!SettingsFiles::replaceFile(dir.filePath("missing.ini"), path));
        QCOMPARE(read(path), text);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settings_files.moc"
