#include "tests/app/print_rig.h"
#include "tests/support/hang_bound.h"
#include "tests/support/xlsx_writer.h"
#include "tests/support/recording_prompt.h"
#include "platform/prompt/prompt.h"

#include "app/print/hot_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTest>
#include <QtEndian>

#include <thread>

using DM = printing::DeviceMode;

class TestPrintBatcher : public QObject
{
    Q_OBJECT
    PrintRig rig;
    std::unique_ptr<LogCapture> log;

    static PrintBatcher::Rollers baseRollers()
    {
        PrintBatcher::Rollers r;
        r.printedLength = 1000;
        r.cutLength = 800; // 20 of buffer
        r.printRollerAtStart = 10;
        r.printRoller = 8; // -8
        r.filmRollerAtStart = 5;
        r.filmRoller = 4; // -2: B = 10
        r.printRollerMax = 12; // R = 16
        r.printRollerTrigger = 11; // T = 12
        r.pageHeightMm = 30; // 4 pages to the trigger
        r.copiesOnce = 3;
        return r;
    }
    QString pdf(const QSizeF &mm = QSizeF(100, 50)) { return rig.writePdf(QStringLiteral("label.pdf"), mm); }
    // The print component's stand-in, ready, writing what it got to jobLog.
    bool startComponent(QProcess &component, const QString &jobLog, const QStringList &options = {})
    {
        component.start(QStringLiteral(PRINT_COMPONENT), options + QStringList{QStringLiteral("--log"), jobLog});
        if (!component.waitForStarted(kHangMs))
            return false;
        QByteArray output;
        while (!output.contains("ready\n")) {
            if (!component.waitForReadyRead(kHangMs))
                return false;
            output += component.readAllStandardOutput();
        }
        return true;
    }
    // The page counts of the jobs the stand-in read, in order.
    static QList<int> componentJobs(const QString &jobLog)
    {
        QFile file(jobLog);
        QList<int> counts;
        if (!file.open(QIODevice::ReadOnly))
            return counts;
        for (const QString &line : QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("job "))) {
                const QByteArray record = QByteArray::fromHex(line.section(QLatin1Char(' '), 3, 3).toLatin1());
                counts << qFromLittleEndian<qint32>(record.constData() + 4);
            }
        return counts;
    }
    // Rollers at which print() asks for pages: 12 of room to the trigger.
    void rollersAskForPages()
    {
        rig.config().setPrintRollerMax(12);
        rig.config().setPrintRollerTrigger(11);
        rig.counters->startRun(5, 10);
        rig.fx.device->setPrintRoller(8);
        rig.fx.device->setFilmRoller(4);
    }
    // Variable data over the printer "Canon_Mem": a template of the print
    // file's size with eight data rows, page codes on.
    QString useEightRows()
    {
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.mode.fields = DM::kPaperSize | DM::kCopies;
        rig.spooler.addPrinter(printer, p);
        rig.usePrintFile(pdf(), QSizeF(100, 50), printer);
        rig.set(Config::CPT_Printer_Copies, true); // not with variable data
        rig.set(Config::CPT_printPagesOnce, 2);
        rig.set(Config::CPT_Enable_Print_Marker_Type, 3);
        const QString xlsx = rig.fx.dir->filePath(QStringLiteral("rows.xlsx"));
        QVector<QStringList> rows{{QStringLiteral("Name")}};
        for (int i = 1; i <= 8; ++i)
            rows.append({QStringLiteral("Item%1").arg(i)});
        if (!writeTestXlsx(xlsx, rows))
            return QString();
        const QString tva = rig.fx.writeFile("rows.tva", R"({"format":"spoolsmith-tva","version":1,"page":{"width":100,"height":50},
"mark":{"type":4,"size":4,"margins":[3,3,3,3]},"paths":[],"texts":[{"x":10,"y":10,"size":14,"text":"{Name}"}]})");
        RecordingPrompt prompt;
        prompt.fileAnswers << xlsx;
        Prompt::setInstance(&prompt);
        rig.file->chooseDataSource(tva);
        Prompt::setInstance(nullptr);
        // Read at once unless the machine is loaded.
        if (!QTest::qWaitFor([this] { return rig.file->dataSourceProgress() == -1; }, kHangMs))
            return QString();
        return rig.file->enabledDataSource() ? printer : QString();
    }
    // The data rows of the pages recorded under their codes.
    QList<int> recordedRows()
    {
        QList<int> rows;
        TaskRecord task;
        for (quint32 code = 1; code <= 20; ++code)
            if (rig.config().db().findTaskRecordByCode(code, task))
                rows << task.dataIndex;
        return rows;
    }

private slots:
    void init()
    {
        qputenv("SPOOLSMITH_NAMED_PREFIX", QByteArray("tst_print_") + QByteArray::number(QCoreApplication::applicationPid()));
        QVERIFY(rig.setUp());
        log = std::make_unique<LogCapture>();
    }
    void cleanup()
    {
        log.reset();
        rig.tearDown();
    }

    void batchDecision_data()
    {
        QTest::addColumn<double>("printRollerMax");
        QTest::addColumn<int>("copiesOnce");
        QTest::addColumn<int>("printTaskCopies");
        QTest::addColumn<int>("printCopies");
        QTest::addColumn<double>("trigger");
        QTest::addColumn<bool>("prints");
        QTest::addColumn<int>("pages");
        QTest::newRow("batch is the smaller of n and the pages to the trigger") << 12.0 << 3 << 0 << 0 << 11.0 << true << 3;
        QTest::newRow("pages to the trigger below n") << 12.0 << 9 << 0 << 0 << 11.0 << true << 4;
        QTest::newRow("the job's copies cap n") << 12.0 << 3 << 10 << 8 << 11.0 << true << 2;
        QTest::newRow("all copies printed asks none") << 12.0 << 3 << 10 << 10 << 11.0 << false << 0;
        QTest::newRow("copies past the preset ask none") << 12.0 << 3 << 10 << 12 << 7.0 << false << 0;
        QTest::newRow("buffer equal to the room prints") << 10.5 << 3 << 0 << 0 << 11.0 << true << 3;
        QTest::newRow("buffer above the room prints nothing") << 10.25 << 3 << 0 << 0 << 11.0 << false << 0;
        QTest::newRow("roller past its trigger asks one page") << 12.0 << 3 << 0 << 0 << 7.0 << true << 1;
    }
    void batchDecision()
    {
        QFETCH(double, printRollerMax);
        QFETCH(int, copiesOnce);
        QFETCH(int, printTaskCopies);
        QFETCH(int, printCopies);
        QFETCH(double, trigger);
        QFETCH(bool, prints);
        QFETCH(int, pages);
        PrintBatcher::Rollers r = baseRollers();
        r.printRollerMax = printRollerMax;
        r.copiesOnce = copiesOnce;
        r.printTaskCopies = printTaskCopies;
        r.printCopies = printCopies;
        r.printRollerTrigger = trigger;
        const PrintBatcher::Decision d = PrintBatcher::decide(r);
        QCOMPARE(d.print, prints);
        QCOMPARE(d.pages, pages);
    }

    // print() against the driver's roller readings and the settings.
    void printReadsTheRollersAndHonoursItsGuards()
    {
        rig.usePrintFile(pdf(), QSizeF(100, 30), QStringLiteral("Canon_Mem"));
        rig.spooler.addPrinter(QStringLiteral("Canon_Mem"), {});
        rig.set(Config::CPT_printCopiesOnce, 5);
        rig.set(Config::CPT_printPagesOnce, 10);
        rig.config().setPrintRollerMax(12);
        rig.config().setPrintRollerTrigger(11);
        rig.counters->startRun(5, 10);
        rig.fx.device->setPrintRoller(8);
        rig.fx.device->setFilmRoller(4);
        rig.counters->addPrintedLength(1000);
        rig.counters->addCutLength(800);
        rig.batcher->print();
        QCOMPARE(rig.spooler.pages().size(), 4); // T = 12: 4 pages of 30 mm
        QCOMPARE(rig.counters->printCopies(), 4);
        QCOMPARE(log->count(QStringLiteral("SpoolsmithApp::print 12 4")), 1);

        // Buffer above the room: nothing.
        rig.fx.device->setPrintRoller(12);
        rig.counters->addPrintedLength(1000);
        rig.batcher->print();
        QCOMPARE(rig.spooler.pages().size(), 4);

        rig.fx.device->setPrintRoller(8);
        rig.counters->addCutLength(1120); // back to the first buffer
        rig.set(Config::CPT_Enable_Print, false);
        rig.settings->load();
        rig.batcher->print();
        QCOMPARE(rig.spooler.pages().size(), 4);

        rig.set(Config::CPT_Enable_Print, true);
        rig.settings->load();
        rig.file->setPrintFile(QString());
        rig.batcher->print();
        QCOMPARE(rig.spooler.pages().size(), 4);

        // No printer: only the hot folder of machine version 2 prints.
        rig.file->setPrintFile(pdf(QSizeF(100, 30)));
        rig.printers->setPrinterName(QString());
        rig.batcher->print();
        QCOMPARE(rig.counters->printCopies(), 4);
        const QString hot = rig.fx.dir->filePath(QStringLiteral("hot"));
        QVERIFY(QDir().mkpath(hot));
        rig.useHotFolder(hot);
        rig.batcher->print();
        QCOMPARE(QDir(hot).entryList(QDir::Files).size(), 4);
        QCOMPARE(rig.counters->printCopies(), 8);
    }

    void aPageWithoutHeightPrintsNothing()
    {
        rig.usePrintFile(pdf(), QSizeF(100, 0), QStringLiteral("Canon_Mem"));
        rig.spooler.addPrinter(QStringLiteral("Canon_Mem"), {});
        rig.batcher->print();
        QVERIFY(!rig.batcher->printPdf(rig.file->printFile(), QStringLiteral("Canon_Mem"), 2));
        QVERIFY(rig.spooler.pages().isEmpty());
        QCOMPARE(rig.counters->printCopies(), 0);
        QCOMPARE(rig.counters->printedLength(), 0.0);
        QVERIFY(log->count(QStringLiteral("nothing printed")) >= 2);
    }

    void hotFolderCopiesEachPageUnderItsNumber()
    {
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), QString());
        const QString hot = rig.fx.dir->filePath(QStringLiteral("hot"));
        QVERIFY(QDir().mkpath(hot));
        rig.useHotFolder(hot);
        rig.counters->setPrintCopies(4);
        QVERIFY2(rig.batcher->printPdf(file, QString(), 3), qPrintable(log->lines().filter("print").join('\n')));
        QStringList names = QDir(hot).entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 3);
        QFile source(file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        for (int i = 0; i < 3; ++i) {
            const QRegularExpression re(QStringLiteral("^%1_\\d+_label\\.pdf$").arg(5 + i));
            QVERIFY2(names.filter(re).size() == 1, qPrintable(names.join(',')));
            QFile copy(QDir(hot).filePath(names.filter(re).first()));
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), bytes);
        }
        QCOMPARE(rig.counters->printCopies(), 7);
        QCOMPARE(rig.counters->printedLength(), 150.0);
        QCOMPARE(rig.config().todayPrint(), 0.15);

        // A target already there is replaced by the new copy.
        rig.batcher->setHotFolderClock([] { return qint64(1234); });
        const QString target = QDir(hot).filePath(QStringLiteral("8_1234_label.pdf"));
        QFile stale(target);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("stale and longer than nothing");
        stale.close();
        QVERIFY(rig.batcher->printPdf(file, QString(), 1));
        QFile replaced(target);
        QVERIFY(replaced.open(QIODevice::ReadOnly));
        QCOMPARE(replaced.readAll(), bytes);
    }

    void anUnwritableHotFolderCountsNothing()
    {
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), QString());
        // Below a plain file: no copy can be made there, not even by root.
        rig.useHotFolder(file + QStringLiteral("/hot"));
        rig.counters->setPrintCopies(2);
        QVERIFY(!rig.batcher->printPdf(file, QString(), 3));
        QCOMPARE(log->count(QStringLiteral("CopyFileA failed")), 3);
        QCOMPARE(log->lines().filter(QStringLiteral("CopyFileA failed")).filter(QStringLiteral("/3_")).size(), 3);
        QCOMPARE(rig.counters->printCopies(), 2);
        QCOMPARE(rig.config().todayPrint(), 0.0);
    }

    void directPagesGoOutAtThePrintersSize()
    {
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.mode.fields = DM::kPaperSize | DM::kCopies;
        p.mode.paperSize = 9;
        p.resolution = QSize(1181, 590); // 100 x 50 mm at 300 dpi
        rig.spooler.addPrinter(printer, p);
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), printer);
        rig.set(Config::CPT_Enable_DrawLine, true);
        rig.set(Config::CPT_printPagesOnce, 10);
        rig.counters->setPrintCopies(6);
        QVERIFY(rig.batcher->printPdf(file, printer, 3));
        const auto pages = rig.spooler.pages();
        QCOMPARE(pages.size(), 3);
        for (const auto &page : pages) {
            QCOMPARE(page.image.size(), QSize(1181, 590));
            QVERIFY(page.hadMode);
            QCOMPARE(page.mode.paperSize, 0);
            QCOMPARE(page.mode.fields & (DM::kPaperLength | DM::kPaperWidth), DM::kPaperLength | DM::kPaperWidth);
            QCOMPARE(page.mode.paperWidth, 1000);
            QCOMPARE(page.mode.paperLength, 500);
            QCOMPARE(page.mode.copies, 1);
            // The border lines along the top and bottom edges, the page's band between.
            QCOMPARE(page.image.pixelColor(600, 0), QColor(Qt::black));
            QCOMPARE(page.image.pixelColor(600, 589), QColor(Qt::black));
            QCOMPARE(page.image.pixelColor(600, 100), QColor(Qt::white));
            QVERIFY(qGray(page.image.pixel(600, 295)) < 200);
        }
        for (const char *label : {"SpoolsmithApp::printPdf \"7\"", "SpoolsmithApp::printPdf \"8\"", "SpoolsmithApp::printPdf \"9\""})
            QCOMPARE(log->count(QString::fromUtf8(label)), 1);
        QCOMPARE(rig.counters->printCopies(), 9);
        QCOMPARE(rig.counters->printedLength(), 150.0);
        QCOMPARE(rig.spooler.documentsEnded(), 1);
        QCOMPARE(log->count(QStringLiteral("查询打印任务状态时间")), 0);
    }

    void theDriverMakesTheCopiesWhenItCan()
    {
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.mode.fields = DM::kPaperSize | DM::kPaperLength | DM::kPaperWidth | DM::kCopies;
        p.mode.paperSize = 256;
        rig.spooler.addPrinter(printer, p);
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), printer);
        rig.set(Config::CPT_Printer_Copies, true);
        rig.set(Config::CPT_printPagesOnce, 2);
        rig.counters->setPrintCopies(4);
        QVERIFY(rig.batcher->printPdf(file, printer, 3));
        const auto pages = rig.spooler.pages();
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].mode.copies, 3);
        QCOMPARE(pages[0].mode.paperSize, 256); // both size bits were set: kept
        QCOMPARE(log->count(QStringLiteral("SpoolsmithApp::printPdf \"5 - 7\"")), 1);
        QCOMPARE(rig.counters->printCopies(), 7);
        QCOMPARE(rig.counters->printedLength(), 150.0);
    }

    void failedPagesAreSkippedAndTheRestPrinted()
    {
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.failStartPages = {2, 4};
        p.modeReadable = false; // spooler defaults, one copy a page
        p.statusSequence = {0x008, 0x010, 0x010, 0x080};
        rig.spooler.addPrinter(printer, p);
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), printer);
        rig.set(Config::CPT_Wait_Print, true);
        rig.set(Config::CPT_printPagesOnce, 10);
        QVERIFY(rig.batcher->printPdf(file, printer, 5));
        QCOMPARE(rig.spooler.pages().size(), 3);
        QVERIFY(!rig.spooler.pages()[0].hadMode);
        QCOMPARE(log->count(QStringLiteral("StartPage failed")), 2);
        QCOMPARE(rig.counters->printCopies(), 3);
        // Each new status once, with its lines; then the job left the queue.
        QCOMPARE(log->count(QStringLiteral("JOB_INFO_2A Status")), 3);
        QCOMPARE(log->count(QStringLiteral("作业正在假脱机")), 1);
        QCOMPARE(log->count(QStringLiteral("作业正在打印")), 1);
        QCOMPARE(log->count(QStringLiteral("作业已打印")), 1);
        QCOMPARE(log->count(QStringLiteral("查询打印任务状态时间")), 1);

        // No context, no document: nothing printed, false.
        rig.spooler.printer(printer).failContext = true;
        QVERIFY(!rig.batcher->printPdf(file, printer, 1));
        QCOMPARE(log->count(QStringLiteral("CreateDCA failed")), 1);
        rig.spooler.printer(printer).failContext = false;
        rig.spooler.printer(printer).failStartDoc = true;
        QVERIFY(!rig.batcher->printPdf(file, printer, 1));
        QCOMPARE(log->count(QStringLiteral("StartDocA failed")), 1);
        QVERIFY(!rig.batcher->printPdf(file, QStringLiteral("No such printer"), 1));
        QCOMPARE(rig.counters->printCopies(), 3);
    }

    void aJobStuckInTheQueueIsPolledToItsBoundOrTheJobsStop()
    {
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.statusSequence = QList<quint32>(100000, 0x020); // offline for ever
        rig.spooler.addPrinter(printer, p);
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), printer);
        rig.set(Config::CPT_Wait_Print, true);
        // A bound of a second: polls every 20 ms come more than five times
        // however loaded the machine, and never more often than the interval.
        rig.batcher->setPollTiming({std::chrono::milliseconds(1000), std::chrono::milliseconds(20)});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.batcher->printPdf(file, printer, 1));
        QVERIFY2(clock.elapsed() < 1000 + kHangMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(log->count(QStringLiteral("打印机处于脱机状态")), 1);
        const int polls = rig.spooler.statusPolls();
        QVERIFY2(polls >= 5 && polls <= 60, qPrintable(QString::number(polls)));

        // During a job, its stop ends the poll at once: long before its bound.
        rig.batcher->setPollTiming({std::chrono::milliseconds(kLongHangMs), std::chrono::milliseconds(200)});
        rig.status = 1;
        std::thread stopper([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            rig.status = 2;
        });
        clock.restart();
        rig.batcher->printPdf(file, printer, 1);
        stopper.join();
        QVERIFY(clock.elapsed() < kHangMs);
    }

    // The document reaches the spooler only at its end: when that fails,
    // nothing was printed. Its job is cancelled at once (no status wait),
    // nothing is counted or recorded, and the operator is told.
    void aDocumentTheSpoolerRefusesCountsNothing_data()
    {
        QTest::addColumn<bool>("driverCopies");
        QTest::newRow("a page per copy") << false;
        QTest::newRow("driver copies") << true;
    }
    void aDocumentTheSpoolerRefusesCountsNothing()
    {
        QFETCH(bool, driverCopies);
        const QString printer = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        p.mode.fields = DM::kPaperSize | DM::kCopies;
        p.failEndDoc = true;
        p.statusSequence = QList<quint32>(100000, 0x020); // would be offline for ever
        rig.spooler.addPrinter(printer, p);
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), printer);
        rig.set(Config::CPT_Wait_Print, true);
        rig.set(Config::CPT_Printer_Copies, driverCopies);
        rig.set(Config::CPT_printPagesOnce, 10);
        rig.set(Config::CPT_Enable_Print_Marker_Type, 3);
        rig.batcher->setPollTiming({std::chrono::milliseconds(kLongHangMs), std::chrono::milliseconds(20)});
        rig.status = 1;
        rig.records->beginWorkRecord();
        rig.counters->setPrintCopies(2);
        const double today = rig.config().todayPrint();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!rig.batcher->printPdf(file, printer, 3));
        QVERIFY2(clock.elapsed() < kHangMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!rig.spooler.pages().isEmpty());
        QCOMPARE(rig.spooler.jobsCancelled(), 1);
        QCOMPARE(rig.spooler.statusPolls(), 0);
        QCOMPARE(log->count(QStringLiteral("查询打印任务状态时间")), 0);
        QCOMPARE(log->count(QStringLiteral("EndDoc failed")), 1);
        QCOMPARE(rig.counters->printCopies(), 2);
        QCOMPARE(rig.counters->printedLength(), 0.0);
        QCOMPARE(rig.config().todayPrint(), today);
        QCOMPARE(rig.records->printWorkRecord().printCnt, 0u);
        TaskRecord task;
        QVERIFY(!rig.config().db().findTaskRecordByCode(1, task));
        QCOMPARE(rig.messages, QStringList{QStringLiteral("打印文档发送失败，请检查打印机 \n")});

        // Accepted again: the pages count.
        rig.spooler.printer(printer).failEndDoc = false;
        rig.spooler.printer(printer).statusSequence = {0x080};
        QVERIFY(rig.batcher->printPdf(file, printer, 3));
        QCOMPARE(rig.counters->printCopies(), 5);
        QCOMPARE(rig.counters->printedLength(), 150.0);
        QCOMPARE(rig.records->printWorkRecord().printCnt, 3u);
        rig.status = 2;
    }

    void theChannelPrinterHandsOverInBatches()
    {
        rig.usePrintFile(QString(), QSizeF(100, 50), QStringLiteral("CorelDRAW"));
        rig.set(Config::CPT_printPagesOnce, 3);
        // The component is not running: the first hand-over fails.
        QVERIFY(!rig.batcher->printPdf(QString(), QStringLiteral("CorelDRAW"), 7));
        QCOMPARE(log->count(QStringLiteral("OpenMutex fail: file not found!")), 1);
        QCOMPARE(rig.counters->printCopies(), 0);

        // With the component's stand-in: batches 3, 3, 1, each carrying its
        // own count, each followed by the pause.
        const QString jobLog = rig.fx.dir->filePath(QStringLiteral("component.log"));
        QProcess component;
        QVERIFY(startComponent(component, jobLog));
        QElapsedTimer clock;
        clock.start();
        const bool handedOver = rig.batcher->printPdf(QString(), QStringLiteral("CorelDRAW"), 7);
        const qint64 took = clock.elapsed();
        component.terminate();
        QVERIFY(component.waitForFinished(kHangMs));
        QVERIFY(handedOver);
        QCOMPARE(rig.counters->printCopies(), 7);
        QCOMPARE(rig.counters->printedLength(), 350.0);
        QVERIFY2(took >= 1400, qPrintable(QString::number(took)));
        QCOMPARE(componentJobs(jobLog), (QList<int>{3, 3, 1}));
    }

    // Variable data from row 4 of 8, a print preset of 4, three pages a
    // request, by the hot folder and by the print component (answering at
    // once, or only after the hand-over's bound): a page a row up to the
    // preset, then without it up to the last row and no further; every page
    // the folder or the component got is counted, with its length.
    void otherPathsPrintARowAPageUpToThePreset_data()
    {
        QTest::addColumn<bool>("hotFolder");
        QTest::addColumn<QStringList>("component");
        QTest::newRow("hot folder") << true << QStringList();
        QTest::newRow("print component") << false << QStringList();
        QTest::newRow("print component answering late") << false << QStringList{QStringLiteral("--delay"), QStringLiteral("800")};
    }
    void otherPathsPrintARowAPageUpToThePreset()
    {
        QFETCH(bool, hotFolder);
        QFETCH(QStringList, component);
        const QString hot = rig.fx.dir->filePath(QStringLiteral("hot"));
        const QString jobLog = rig.fx.dir->filePath(QStringLiteral("component.log"));
        QProcess stand;
        if (hotFolder) {
            QVERIFY(QDir().mkpath(hot));
            rig.useHotFolder(hot);
        }
        QVERIFY(!useEightRows().isEmpty());
        QVERIFY(rig.file->setDataIndex(4));
        if (!hotFolder) {
            QVERIFY(startComponent(stand, jobLog, component));
            rig.printers->setPrinterName(QStringLiteral("CorelDRAW"));
        }
        rig.set(Config::CPT_printCopiesOnce, 3);
        rig.set(Config::CPT_printPagesOnce, 3);
        rollersAskForPages();
        rig.config().setPrintRollerTrigger(12); // 3 pages of 50 mm to the trigger
        rig.counters->setPrintTaskCopies(4);
        // A late answer may fail a request on a loaded machine; the next one goes on.
        for (int request = 0; request < 10 && rig.counters->printCopies() < 4; ++request)
            rig.batcher->print();
        QCOMPARE(rig.counters->printCopies(), 4);
        QCOMPARE(rig.file->dataIndex(), 8);
        rig.batcher->print(); // nothing past the preset
        QCOMPARE(rig.counters->printCopies(), 4);
        rig.counters->setPrintTaskCopies(0);
        for (int request = 0; request < 10 && !rig.file->rowMissing(); ++request)
            rig.batcher->print();
        QCOMPARE(rig.file->rowState(), PrintFile::RowState::Ended);
        rig.batcher->print();
        QCOMPARE(rig.counters->printCopies(), 5);
        // The row's own page height, as its PDF gives it.
        const double height = rig.file->printPageSize().height();
        QVERIFY(qAbs(height - 50) < 1);
        QCOMPARE(rig.counters->printedLength(), 5 * height);
        QVERIFY(qAbs(rig.config().todayPrint() - 5 * height * 0.001) < 1e-6);
        if (hotFolder) {
            QStringList rows;
            for (const QString &name : QDir(hot).entryList(QDir::Files))
                rows << name.section(QLatin1Char('_'), 0, 0) + QLatin1Char(':') + name.section(QLatin1Char('_'), 2);
            rows.sort();
            QCOMPARE(rows, (QStringList{"1:4pdf.pdf", "2:5pdf.pdf", "3:6pdf.pdf", "4:7pdf.pdf", "5:8pdf.pdf"}));
            return;
        }
        // What the component read and what was counted are the same pages,
        // a job a row; a job withdrawn before it was read carries none.
        stand.terminate();
        QVERIFY(stand.waitForFinished(kHangMs));
        QList<int> read = componentJobs(jobLog);
        read.removeAll(0);
        QCOMPARE(read, (QList<int>{1, 1, 1, 1, 1}));
    }

    void variableDataAdvancesTheRowPerPage()
    {
        const QString printer = useEightRows();
        QVERIFY(!printer.isEmpty());
        QVERIFY(rig.file->setDataIndex(4));
        QVERIFY(rig.batcher->printPdf(rig.file->printFile(), printer, 3));
        QCOMPARE(rig.spooler.pages().size(), 3); // batches of 2 and 1, a row a page
        QCOMPARE(rig.spooler.pages()[0].mode.copies, 1);
        QCOMPARE(rig.file->dataIndex(), 7);
        for (quint32 code = 1; code <= 3; ++code) {
            TaskRecord task;
            QVERIFY(rig.config().db().findTaskRecordByCode(code, task));
            QCOMPARE(task.dataIndex, 3 + int(code));
        }

        // Rows 7 and 8 are the last: the pages asked for beyond them are not
        // printed with row 8 again, nor is a later print.
        QVERIFY(!rig.batcher->printPdf(rig.file->printFile(), printer, 5));
        QCOMPARE(rig.spooler.pages().size(), 5);
        QCOMPARE(rig.file->dataIndex(), 8);
        QVERIFY(rig.file->rowMissing());
        QVERIFY(!rig.batcher->printPdf(rig.file->printFile(), printer, 1));
        QCOMPARE(rig.spooler.pages().size(), 5);
        // Nor does a job's print request send an empty document.
        rollersAskForPages();
        const int documents = rig.spooler.documentsEnded();
        rig.batcher->print();
        QCOMPARE(rig.spooler.documentsEnded(), documents);
        TaskRecord task;
        QVERIFY(rig.config().db().findTaskRecordByCode(5, task));
        QCOMPARE(task.dataIndex, 8);
        QVERIFY(!rig.config().db().findTaskRecordByCode(6, task));
        // The operator starts the rows again.
        QVERIFY(rig.file->setDataIndex(1));
        QVERIFY(rig.batcher->printPdf(rig.file->printFile(), printer, 1));
        QCOMPARE(rig.spooler.pages().size(), 6);
        // A document the spooler refuses keeps its rows for the next print.
        rig.spooler.printer(printer).failEndDoc = true;
        QVERIFY(!rig.batcher->printPdf(rig.file->printFile(), printer, 2));
        QCOMPARE(rig.file->dataIndex(), 2);
        QVERIFY(!rig.file->rowMissing());
        QVERIFY(!rig.config().db().findTaskRecordByCode(7, task));
    }

    void aRefusedDocumentGivesItsRowsBack_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QList<int>>("printedRows");
        QTest::addColumn<bool>("endedAfter");
        QTest::newRow("a middle row") << 4 << 2 << QList<int>{4, 5} << false;
        QTest::newRow("the last row") << 8 << 1 << QList<int>{8} << true;
    }
    // A document the spooler refuses leaves the row and its state as they
    // were before it, the last row too; the same printer accepting next
    // prints that row.
    void aRefusedDocumentGivesItsRowsBack()
    {
        QFETCH(int, row);
        QFETCH(int, pages);
        QFETCH(QList<int>, printedRows);
        QFETCH(bool, endedAfter);
        const QString printer = useEightRows();
        QVERIFY(!printer.isEmpty());
        QVERIFY(rig.file->setDataIndex(row));
        const QString rowFile = rig.file->printFile();
        rig.spooler.printer(printer).failEndDoc = true;
        QVERIFY(!rig.batcher->printPdf(rowFile, printer, pages));
        QCOMPARE(rig.file->dataIndex(), row);
        QCOMPARE(rig.file->rowState(), PrintFile::RowState::Ready);
        QCOMPARE(rig.file->printFile(), rowFile);
        QVERIFY(recordedRows().isEmpty());

        rig.spooler.printer(printer).failEndDoc = false;
        QVERIFY(rig.batcher->printPdf(rig.file->printFile(), printer, pages));
        QCOMPARE(recordedRows(), printedRows);
        QCOMPARE(rig.counters->printCopies(), pages);
        QCOMPARE(rig.file->dataIndex(), printedRows.last() + (endedAfter ? 0 : 1));
        QCOMPARE(rig.file->rowMissing(), endedAfter);
    }

    void aFailedPrintEndsTheJobsPrinting_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("pagesOpened");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such printer") << "printer" << 0 << QStringLiteral("打印机无法打开，请检查打印机 \n");
        QTest::newRow("no printer chosen") << "unnamed" << 0 << QStringLiteral("未选择打印机 \n");
        QTest::newRow("an unwritable hot folder") << "hot folder" << 0
                                                  << QStringLiteral("热文件夹无法写入，请检查热文件夹路径 \n");
        QTest::newRow("no print component") << "component" << 0
                                            << QStringLiteral("打印组件未接收打印任务，请检查CorelDRAW \n");
        QTest::newRow("a device that opens no page") << "device" << 4
                                                     << QStringLiteral("打印机无法开始打印，请检查打印机 \n");
        QTest::newRow("a page that cannot be drawn") << "render" << 0
                                                     << QStringLiteral("打印页面无法生成，请检查打印文件 \n");
        QTest::newRow("a refused document") << "refused" << 4 << QStringLiteral("打印文档发送失败，请检查打印机 \n");
    }
    // A job's print that fails tells the operator and ends the job's
    // printing: no page goes into a document (no blank one either), none
    // is counted, and nothing more is tried until the next job.
    void aFailedPrintEndsTheJobsPrinting()
    {
        QFETCH(QString, how);
        QFETCH(int, pagesOpened);
        QFETCH(QString, message);
        const QString canon = QStringLiteral("Canon_Mem");
        printing::MemorySpooler::Printer p;
        for (int page = 1; how == "device" && page <= 10; ++page)
            p.failStartPages << page;
        p.failEndDoc = how == "refused";
        rig.spooler.addPrinter(canon, p);
        const QString file = pdf();
        if (how == "render") {
            QFile garbage(file);
            QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
            garbage.write("not a PDF");
        }
        const QString printer = how == "printer"  ? QStringLiteral("No such printer")
            : how == "component"                  ? QStringLiteral("CorelDRAW")
            : how == "unnamed" || how == "hot folder" ? QString()
                                                  : canon;
        rig.usePrintFile(file, QSizeF(100, 30), printer);
        if (how == "hot folder")
            rig.useHotFolder(file + QStringLiteral("/hot")); // below a plain file
        rig.set(Config::CPT_printCopiesOnce, 5);
        rig.set(Config::CPT_printPagesOnce, 10);
        rollersAskForPages();
        rig.status = 1;
        rig.batcher->print();
        QCOMPARE(rig.messages, QStringList{message});
        QVERIFY(rig.batcher->jobPrintFailed());
        QCOMPARE(rig.counters->printCopies(), 0);
        QCOMPARE(rig.spooler.pagesStarted(), pagesOpened);
        QCOMPARE(rig.spooler.documentsEnded(), 0);

        const int lines = log->count(QStringLiteral("SpoolsmithApp::print"));
        rig.batcher->print();
        QCOMPARE(log->count(QStringLiteral("SpoolsmithApp::print")), lines);
        QCOMPARE(rig.messages.size(), 1);
        // The next job tries again.
        rig.batcher->startJob();
        rig.batcher->print();
        QCOMPARE(rig.messages.size(), 2);
        rig.status = 2;
    }

    // A job stopped while the first row of its request is in flight, on the
    // print component (answering that one only) and on direct printing (a
    // row a document, held in the queue): that row counts, no further row
    // goes out, no failure is told, and the thread lets go.
    void aStopEndsASplitRequest_data()
    {
        QTest::addColumn<bool>("component");
        QTest::newRow("print component") << true;
        QTest::newRow("direct printing") << false;
    }
    void aStopEndsASplitRequest()
    {
        QFETCH(bool, component);
        const QString jobLog = rig.fx.dir->filePath(QStringLiteral("component.log"));
        QProcess stand;
        QVERIFY(!useEightRows().isEmpty());
        if (component) {
            QVERIFY(startComponent(stand, jobLog, {QStringLiteral("--plan"), QStringLiteral("200,n")}));
            rig.printers->setPrinterName(QStringLiteral("CorelDRAW"));
        } else {
            rig.spooler.printer(QStringLiteral("Canon_Mem")).statusSequence = QList<quint32>(100000, 0x010);
            rig.set(Config::CPT_printPagesOnce, 1);
            rig.set(Config::CPT_Wait_Print, true);
            rig.batcher->setPollTiming({std::chrono::milliseconds(kLongHangMs), std::chrono::milliseconds(20)});
        }
        rig.set(Config::CPT_printCopiesOnce, 5);
        rollersAskForPages(); // 2 pages
        rig.status = 1;
        std::atomic<bool> done{false};
        std::thread job([&] { rig.batcher->print(); done = true; });
        QTRY_VERIFY_WITH_TIMEOUT(component ? !componentJobs(jobLog).isEmpty() : rig.spooler.statusPolls() > 0, kHangMs);
        rig.status = 2;
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), kHangMs);
        job.join();
        QCOMPARE(rig.counters->printCopies(), 1);
        QCOMPARE(rig.file->dataIndex(), 2);
        QCOMPARE(rig.messages, QStringList());
    }

    void aTestPrintWaitsForNoJob()
    {
        RecordingPrompt prompt;
        rig.spooler.addPrinter(QStringLiteral("Canon_Mem"), {});
        const QString file = pdf();
        rig.usePrintFile(file, QSizeF(100, 50), QStringLiteral("Canon_Mem"));
        rig.set(Config::CPT_printCopiesOnce, 2);
        rig.status = 1;
        QVERIFY(!rig.batcher->printPdfFile(file, QStringLiteral("Canon_Mem")));
        QCOMPARE(rig.messages.size(), 1);
        QVERIFY(rig.messages[0].endsWith(QStringLiteral(" \n")));
        QVERIFY(rig.spooler.pages().isEmpty());
        rig.status = 2;
        QVERIFY(rig.batcher->printPdfFile(file, QStringLiteral("Canon_Mem")));
        rig.batcher->joinTestPrints();
        QCOMPARE(rig.spooler.pages().size(), 2);
        QVERIFY(prompt.shown.isEmpty());
        // Without a file, and with page codes but no print-cut file: a box each.
        QVERIFY(!rig.batcher->printPdfFile(QString(), QStringLiteral("Canon_Mem")));
        QVERIFY(!rig.batcher->printPdfFile(QStringLiteral(""), QStringLiteral("Canon_Mem"))); // as QML passes none
        rig.set(Config::CPT_Enable_Print_Marker_Type, 2);
        QVERIFY(!rig.batcher->printPdfFile(file, QStringLiteral("Canon_Mem")));
        QCOMPARE(prompt.shown, QStringList({QStringLiteral("打印文件未打开 \n"), QStringLiteral("打印文件未打开 \n"),
                                            QStringLiteral("切割文件未打开 \n")}));
    }
};

QTEST_MAIN(TestPrintBatcher)
#include "tst_print_batcher.moc"
