// The printers offered to the operator from the in-memory spooler, the
// chosen printer in config.ini, the preferences dialog's command line (a
// recording program of its name on PATH), and the hand-over to the updater.
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"
#include "app/app_services.h"
#include "app/online/online_services.h"
#include "app/print/printers.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestPrinters : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    printing::MemorySpooler spooler;

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }
    // Built again on the same files, as at the next start.
    void reopenConfig()
    {
        Config::setInstance(nullptr);
        f.config.reset();
        f.config = std::make_unique<Config>(f.dir->path(), f.dir->filePath(QStringLiteral("config.db")));
        Config::setInstance(f.config.get());
    }
    AppServices services()
    {
        return {[this] { return f.config.get(); }, [this] { return f.device.get(); }};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.makeSettings());
        // Settings go to config.ini once there is one.
        QFile ini(f.dir->filePath(QStringLiteral("config.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        reopenConfig();
        QVERIFY(f.startSimulator());
        f.makeDevice(DeviceFixture::Driver::Registered);
        printing::installSpooler(&spooler);
    }
    void cleanupTestCase()
    {
        printing::installSpooler(nullptr);
        f.tearDown();
    }
    void init()
    {
        spooler.clear();
        for (const char *name : {"HP LaserJet 400", "Label Canon LBP", "Brother QL-820", "EPSON SureColor"})
            spooler.addPrinter(QString::fromLatin1(name), {});
    }

    void listHoldsKnownMakersInSystemOrderThenThePrintComponent()
    {
        QCOMPARE(app()->printersName(),
                 (QStringList{"Label Canon LBP", "EPSON SureColor", "CorelDRAW"}));
        spooler.addPrinter(QStringLiteral("hoson-x1"), {});
        QCOMPARE(app()->printersName().value(2), QStringLiteral("hoson-x1"));
        spooler.clear();
        QCOMPARE(app()->printersName(), QStringList{QStringLiteral("CorelDRAW")});
    }

    void chosenPrinterIsKeptInConfigIni()
    {
        QSignalSpy changed(app(), &SpoolsmithApp::printerNameChanged);
        app()->setPrinterName(QStringLiteral("EPSON SureColor"));
        app()->setPrinterName(QStringLiteral("EPSON SureColor"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(app()->printerName(), QStringLiteral("EPSON SureColor"));
        reopenConfig();
        QCOMPARE(f.config->getProperty(Config::CPT_Printer_Name).toString(), QStringLiteral("EPSON SureColor"));
        QSettings ini(f.config->configPath(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Spoolsmith/Printer_Name")).toString(), QStringLiteral("EPSON SureColor"));
    }

    void startUpChoice()
    {
        // Stored: kept. Empty: the first of the list, except on version 2.
        Printers printers(services());
        f.config->setProperty(Config::CPT_Printer_Name, QStringLiteral("Brother QL-820"));
        printers.loadPrinterName();
        QCOMPARE(printers.printerName(), QStringLiteral("Brother QL-820"));
        f.config->setProperty(Config::CPT_Printer_Name, QString());
        f.config->setProperty(Config::CPT_Version, 1);
        printers.loadPrinterName();
        QCOMPARE(printers.printerName(), QStringLiteral("Label Canon LBP"));
        f.config->setProperty(Config::CPT_Version, 2);
        printers.loadPrinterName();
        QCOMPARE(printers.printerName(), QString());
        f.config->setProperty(Config::CPT_Version, 0);
    }

    void preferencesDialogCommandLine()
    {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QString record = bin.filePath(QStringLiteral("arguments.txt"));
        const QString fake = bin.filePath(QStringLiteral("xdg-open"));
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$RECORD.tmp\"\n"
                     "mv \"$RECORD.tmp\" \"$RECORD\"\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("RECORD", record.toLocal8Bit());
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        // The print system's page of the queue on the spooler's server.
        qputenv("CUPS_SERVER", "127.0.0.1:6310");
        app()->printerPreference(QStringLiteral("Label Canon LBP"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), kHangMs);
        QFile recorded(record);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(recorded.readAll(), QByteArray("http://127.0.0.1:6310/printers/Label%20Canon%20LBP\n"));

        // No such program: a log line, nothing else.
        qputenv("PATH", bin.filePath(QStringLiteral("none")).toLocal8Bit());
        LogCapture log;
        app()->printerPreference(QStringLiteral("Label Canon LBP"));
        QVERIFY(LogCapture::contains(QStringLiteral("SpoolsmithApp::printerPreference")));
        qputenv("PATH", path);
        qunsetenv("CUPS_SERVER");
    }

    // The updater starts and the program quits whether or not a job runs
    // (the shut-down ends the job); without an updater it stays, and says so.
    void updateQuitsAlsoDuringAJob()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString ran = folder.filePath(QStringLiteral("ran.txt"));
        int quits = 0;
        OnlineServices online(services(), [&quits] { ++quits; }, {});
        online.setUpdaterFolder(folder.path());
        for (int status : {1, 0, 2}) {
            for (bool present : {true, false}) {
                QFile::remove(ran);
                QFile::remove(folder.filePath(QStringLiteral("runtool.sh")));
                if (present) {
                    QFile script(folder.filePath(QStringLiteral("runtool.sh")));
                    QVERIFY(script.open(QIODevice::WriteOnly));
                    script.write("#!/bin/sh\npwd > ran.tmp && mv ran.tmp ran.txt\n");
                    script.close();
                    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
                }
                f.device->setErrorMessage(QString());
                f.device->setTaskStatus(status);
                const int before = quits;
                LogCapture log;
                online.checkUpdate();
                QCOMPARE(quits, before + (present ? 1 : 0));
                if (present) {
                    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ran), kHangMs);
                    QFile out(ran);
                    QVERIFY(out.open(QIODevice::ReadOnly));
                    QCOMPARE(out.readAll().trimmed(), QFileInfo(folder.path()).canonicalFilePath().toLocal8Bit());
                    QCOMPARE(f.device->errorMessage(), QString());
                } else {
                    QCOMPARE(f.device->errorMessage(), QStringLiteral("升级程序无法启动"));
                    QVERIFY(LogCapture::contains(QStringLiteral("could not start")));
                }
            }
        }
        f.device->setTaskStatus(2);
    }

    // During a firmware upload the update is refused as closing the window
    // is, while the file is sent and while the machine reports progress;
    // the upload ends whole, and only then does the update quit.
    void updateIsRefusedDuringAFirmwareUpload()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString ran = folder.filePath(QStringLiteral("ran.txt"));
        QFile script(folder.filePath(QStringLiteral("runtool.sh")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch ran.txt\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        int quits = 0;
        OnlineServices online(services(), [&quits] { ++quits; }, {});
        online.setUpdaterFolder(folder.path());

        QVERIFY(f.link());
        f.sim->updateState([](SimMachineState &s) { s.uploadStepMs = 400; });
        f.sim->clearReceived();
        const QByteArray file(512 * 1024, 'f');
        f.device->slotUpgrade(2, file, {});
        for (const char *phase : {"sending", "progress"}) {
            if (qstrcmp(phase, "progress") == 0)
                QTRY_VERIFY_WITH_TIMEOUT(f.device->updateProgress() > 0.0f && f.device->updateProgress() < 100.0f, kHangMs);
            f.device->setErrorMessage(QString());
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("checkUpdate.*refused"));
            online.checkUpdate();
            QVERIFY2(quits == 0, phase);
            QCOMPARE(f.device->errorMessage(), QStringLiteral("请等待升级结束"));
            QVERIFY(f.device->linked());
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 100.0f, kHangMs);
        QVERIFY(f.sim->receivedPayloads().contains("UPG;2;" + file));
        QVERIFY(!QFile::exists(ran));

        f.device->setErrorMessage(QString());
        online.checkUpdate();
        QCOMPARE(quits, 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ran), kHangMs);
        QCOMPARE(f.device->errorMessage(), QString());
        f.sim->updateState([](SimMachineState &s) { s.uploadStepMs = 20; });
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestPrinters)
#include "tst_printers.moc"
