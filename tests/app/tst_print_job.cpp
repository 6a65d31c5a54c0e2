// A print-and-cut job against the simulator that prints to the in-memory
// spooler: pages go out ahead of the cutter as the print roller allows, and
// each page's code leads the cut side back to the job's records.
#include "app/print/page_code_painter.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"
#include "platform/scene/gscene.h"
#include "settings/db_config.h"
#include "tests/support/app_test_main.h"
#include "tests/support/hang_bound.h"
#include "tests/support/job_rig.h"
#include "tests/support/recording_prompt.h"
#include "tests/support/test_camera.h"
#include "tests/support/xlsx_writer.h"
#include "tools/simulator/web_model.h"
#include "vision/qr_page_code_reader.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtTest>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

// Page 100 mm across x 200 mm along the web, four marks of 4 mm.
const QByteArray kMarked = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;"
                           "SP1;PU0,0;PD0,400,400,400,400,0,0,0;PG;";

// A variable-data template of the same page, one field a row.
const QByteArray kTemplate = R"({"format":"spoolsmith-tva","version":1,"page":{"width":100,"height":200},
"texts":[{"x":10,"y":10,"size":14,"text":"Label {Name}"}]})";

} // namespace

class TstPrintJob : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    bool waitIdle(qint64 ms = kHangMs) { return m_rig.waitIdle(ms); }
    QString writePdf(const QSizeF &mm)
    {
        const QString path = f.dir->filePath(QStringLiteral("labels.pdf"));
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.fillRect(QRect(0, 0, 200, 200), Qt::black);
        painter.end();
        return path;
    }

    // A variable-data print file over a sheet of the given rows, read and
    // its first row rendered.
    void useRows(int rows)
    {
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 0);
        f.config->setProperty(Config::CPT_Wait_Print, false);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        QVector<QStringList> sheet{{"Name"}};
        for (int row = 0; row < rows; ++row)
            sheet << QStringList{QString(QChar('A' + row))};
        const QString xlsx = f.dir->filePath("rows.xlsx");
        QVERIFY(writeTestXlsx(xlsx, sheet));
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(f.writeFile("rows.tva", kTemplate));
        app()->setDataIndex(1);
        // Read at once unless the machine is loaded: then rendered once read.
        QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(app()->printFile().endsWith(QStringLiteral("/1pdf.pdf")), kHangMs);
        // The sheet, read with the row of a case before, said it had ended.
        f.device->setErrorMessage(QString());
    }
    void dropRows()
    {
        app()->setEnabledDataSource(false);
        app()->setDataSource(QString());
        app()->setPrinterName(QString());
        f.config->setEnablePrint(false);
    }
    // Where each cut began on the web, in order.
    QList<double> cutStarts() const
    {
        QList<double> starts;
        for (const WebModel::Plot &p : m_web->plots())
            if (!p.move)
                starts << p.start.x();
        return starts;
    }

    JobRig m_rig;
    DeviceFixture &f = m_rig.f;
    std::unique_ptr<WebModel> &m_web = m_rig.web;
    RecordingPrompt m_prompt;
    printing::MemorySpooler m_spooler;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        Prompt::setInstance(&m_prompt);
        printing::installSpooler(&m_spooler);
    }
    void cleanupTestCase() { printing::installSpooler(nullptr); }
    void init() { QVERIFY(m_rig.setUp()); }
    // Marks of the pages on the web, as the printer put them: each page's
    // first two (a page's last two are the next one's first); blank web of
    // `blank` plotter units before the first.
    void markPages(int pages, double blank = 0)
    {
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        QCOMPARE(design.size(), 4);
        QList<QPointF> marks;
        for (int k = 0; k < pages; ++k)
            marks << QPointF(2400 + blank + k * design.at(3).x(), 0) + design.at(0)
                  << QPointF(2400 + blank + k * design.at(3).x(), 0) + design.at(1);
        m_web->setMarks(marks);
    }
    void usePrinter(int copiesOnce)
    {
        printing::MemorySpooler::Printer printer;
        printer.resolution = QSize(1181, 2362); // 100 x 200 mm at 300 dpi
        m_spooler.addPrinter(QStringLiteral("Canon_Mem"), printer);
        f.config->setEnablePrint(true);
        f.config->setPrintRollerTrigger(90);
        f.config->setPrintRollerMax(100);
        f.config->setProperty(Config::CPT_printCopiesOnce, copiesOnce);
        f.config->setProperty(Config::CPT_printPagesOnce, 10);
        f.config->setProperty(Config::CPT_Printer_Copies, false);
        app()->setPrinterName(QStringLiteral("Canon_Mem"));
    }
    void cleanup()
    {
        dropRows();
        m_prompt.fileAnswers.clear();
        m_rig.tearDown();
        m_spooler.clear();
    }

    // Three copies of a marked page whose printed pages carry their codes;
    // gives the cut file.
    QString prepareCodedJob()
    {
        usePrinter(5);
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 2);
        const QString cutFile = f.writeFile("job.plt", kMarked);
        app()->setCutFile(cutFile);
        // The print file asks for its cut file (marker type 2): given after it.
        app()->setPrintFile(writePdf(QSizeF(100, 200)));
        app()->setPrintCutFile(cutFile);
        app()->setPrintPageSize(QSizeF(100, 200));
        app()->setPrintPreview(QImage(10, 10, QImage::Format_RGB32));
        markPages(5);
        app()->setCutTaskCopies(3);
        app()->setPrintTaskCopies(0);
        return cutFile;
    }

    void pagesArePrintedAheadOfTheCutterWithTheirCodes()
    {
        const QString cutFile = prepareCodedJob();

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(!f.device->idle());
        QVERIFY(waitIdle());
        QCOMPARE(app()->cutCopies(), 3);

        // Trigger 90 at roller 80: 40 of room to the trigger, two 200 mm pages
        // a request; printing stops once the printed web outruns the room.
        const auto pages = m_spooler.pages();
        QVERIFY2(pages.size() >= 4 && pages.size() <= 8, qPrintable(QString::number(pages.size())));
        QCOMPARE(app()->printCopies(), int(pages.size()));
        QCOMPARE(app()->printedLength(), 200.0 * pages.size());

        // Each page's code reads back and leads to this job's record.
        const QRectF rect = PageCodePainter::pageCodeRect(app()->printScene()->page()->markItem(), 2);
        QVERIFY(!rect.isEmpty());
        QrPageCodeReader reader;
        QSet<quint32> codes;
        for (const auto &page : pages) {
            const double s = page.image.width() / 100.0;
            const QRect area = QRectF((rect.x() - 2) * s, (rect.y() - 2) * s, (rect.width() + 4) * s,
                                      (rect.height() + 4) * s).toAlignedRect();
            const QImage seen = page.image.copy(area);
            const PageCodeRead read = reader.read(seen.scaled(seen.size() * 2));
            QVERIFY2(read.code != 0, qPrintable(read.text));
            codes.insert(read.code);
            QVERIFY(app()->lookUpPageCode(read.code));
            QCOMPARE(app()->cutWorkRecord().cutFile, cutFile);
            QCOMPARE(app()->cutWorkRecord().timestamp, app()->printWorkRecord().timestamp);
        }
        QCOMPARE(codes.size(), pages.size());
        QCOMPARE(app()->printWorkRecord().printCnt, uint(pages.size()));
    }

    // A job running over midnight: one copy cut before it, two after. Each
    // copy counts on the day it was cut and each page's print on the day it
    // was printed; the day's counters on screen start again from zero; the
    // job's work record stays in the month it started, each page's record
    // goes into the month it was printed.
    void aJobOverMidnightCountsEachCopyOnItsDay_data()
    {
        QTest::addColumn<QDate>("day1");
        // Later than any record an earlier case made: record keys only rise.
        const int year = QDate::currentDate().year() + 1;
        QTest::newRow("inside a month") << QDate(year, 6, 15);
        QTest::newRow("at a year's end") << QDate(year, 12, 31);
    }
    void aJobOverMidnightCountsEachCopyOnItsDay()
    {
        QFETCH(QDate, day1);
        const QDate day2 = day1.addDays(1);
        const QDateTime before(day1, QTime(23, 59, 59));
        const QDateTime after(day2, QTime(0, 0, 1));
        // Midnight passes the moment the first copy is counted, on the job's thread.
        auto past = std::make_shared<std::atomic<bool>>(false);
        m_rig.tearDown();
        f.clock = [=] { return past->load() ? after : before; };
        const bool up = m_rig.setUp();
        f.clock = {};
        QVERIFY(up);
        prepareCodedJob();
        std::mutex lock;
        QList<int> cutShown, printShown; // mm, as the device tab is told of them, from any thread
        int printedBefore = -1;
        Config *c = f.config.get();
        QSignalSpy dayBegan(c, &Config::todayChanged);
        QObject scope; // the watches below go with this case
        connect(c, &Config::todayCutChanged, &scope, [&] {
            std::lock_guard<std::mutex> guard(lock);
            cutShown << qRound(c->todayCut() * 1000);
        }, Qt::DirectConnection);
        connect(c, &Config::todayPrintChanged, &scope, [&] {
            std::lock_guard<std::mutex> guard(lock);
            printShown << qRound(c->todayPrint() * 1000);
        }, Qt::DirectConnection);
        connect(app(), &SpoolsmithApp::cutCopiesChanged, &scope, [&] {
            if (app()->cutCopies() == 1 && !past->load()) {
                printedBefore = app()->printCopies();
                past->store(true);
            }
        }, Qt::DirectConnection);

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(waitIdle(kLongHangMs));
        QCOMPARE(app()->cutCopies(), 3);
        const int printed = app()->printCopies();
        // The printer ran ahead before midnight and went on after it.
        QVERIFY2(printedBefore >= 1 && printed > printedBefore && printed >= 3,
                 qPrintable(QStringLiteral("%1 before, %2 in all").arg(printedBefore).arg(printed)));

        DbConfig &db = c->db();
        const auto day = [&db](const QDate &d) {
            WorkDataRecord r;
            db.selectWorkData(d, r);
            return QList<int>{qRound(r.cutLen * 1000), qRound(r.printLen * 1000), int(r.copies)};
        };
        QCOMPARE(day(day1), (QList<int>{200, 200 * printedBefore, 1}));
        QCOMPARE(day(day2), (QList<int>{400, 200 * (printed - printedBefore), 2}));
        QCOMPARE(c->totalCopies(), 3ull);
        QCOMPARE(c->today(), day2);
        QCOMPARE(c->todayCopies(), 2);
        QCOMPARE(dayBegan.count(), 1);
        {
            // The reset told once, between the first copy and the next.
            std::lock_guard<std::mutex> guard(lock);
            QCOMPARE(cutShown, (QList<int>{200, 0, 200, 400}));
            QCOMPARE(printShown.size(), printed + 1);
            QCOMPARE(printShown.last(), 200 * (printed - printedBefore));
        }

        // The job's work record in its start's month, with every print.
        QCOMPARE(app()->printWorkRecord().timestamp, before);
        QCOMPARE(app()->printWorkRecord().cutCnt, 3u);
        QList<QVariantList> rows;
        WorkRecord job;
        QVERIFY(db.select(QStringLiteral("SELECT * FROM t_work_record_") + day1.toString("yyyy_MM"), rows));
        QVERIFY(rows.size() == 1 && DbConfig::toWorkRecord(rows.first(), job));
        QCOMPARE(job.timestamp, before);
        QCOMPARE(int(job.printCnt), printed);
        // Each page's record in the month it was printed, in print order,
        // leading to the job's record whatever the month.
        QList<QVariantList> months;
        QVERIFY(db.selectTaskWorkTab(QDate(), QDate(), months));
        QCOMPARE(months.size(), day1.month() == day2.month() ? 1 : 2);
        QList<TaskRecord> pages;
        for (auto m = months.crbegin(); m != months.crend(); ++m) {
            rows.clear();
            QVERIFY(db.select(QStringLiteral("SELECT * FROM %1 ORDER BY timestamp").arg(m->value(2).toString()), rows));
            for (const QVariantList &row : rows) {
                pages << TaskRecord();
                QVERIFY(DbConfig::toTaskRecord(row, pages.last()));
                QCOMPARE(pages.last().timestamp.toString("yyyy_MM"), m->value(0).toString());
            }
        }
        QCOMPARE(int(pages.size()), printed);
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(pages.at(i).printTime.date(), i < printedBefore ? day1 : day2);
            QVERIFY(db.findWorkRecordByTimestamp(pages.at(i).workRecordTimestamp, job));
            QCOMPARE(job.timestamp, before);
        }
    }

    // Five copies over a data source of three rows: the three rows are
    // printed, the three pages cut, and the job ends by itself once the last
    // printed page is cut (status 2, the stop sent); no blank web is fed
    // looking for pages that were never printed.
    void printAndCutEndsOnceTheLastDataRowIsCut()
    {
        usePrinter(2);
        useRows(3);
        if (QTest::currentTestFailed())
            return;
        // Marks as far as the third page reaches.
        markPages(4);
        app()->setCutTaskCopies(5);
        app()->setPrintTaskCopies(5);

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        QVERIFY(f.sim->commandCount(12) >= 1);
        QCOMPARE(int(m_spooler.pages().size()), 3);
        QCOMPARE(app()->printCopies(), 3);
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(app()->printWorkRecord().cutCnt, 3u);
        QVERIFY(f.device->errorMessage().contains(QStringLiteral("数据源已到最后一行，打印停止")));
        const QList<double> starts = cutStarts();
        QCOMPARE(starts.size(), 3);
        // Past the third page's cut only the feed to where a fourth would
        // begin, as between two pages; nothing searched for beyond it.
        const double pageFeed = starts.at(2) - starts.at(1);
        QVERIFY2(m_web->fed() - starts.last() <= pageFeed + 100,
                 qPrintable(QStringLiteral("fed %1 past the third cut, %2 between pages")
                                .arg(m_web->fed() - starts.last()).arg(pageFeed)));
    }

    // The printer runs three pages ahead of the cutter (three a request).
    // Printing stops at the print preset or the data's end, never past it;
    // the job ends by itself once every printed page is cut, also when it was
    // stopped after its first cut and started again: the pages printed ahead
    // stay owed to the cutter, each cut once, and no blank web is fed.
    void printAndCutCutsEveryPagePrintedAhead_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("printPreset");
        QTest::addColumn<int>("stops"); // after the first cut; 2: and a trial copy after its cut
        QTest::newRow("print preset 6 of 12 rows") << 12 << 6 << 0;
        QTest::newRow("6 rows, stopped after the first cut") << 6 << 0 << 1;
        // The preset printed, pages owed: the start is not refused.
        QTest::newRow("print preset 3 of 12 rows, stopped after the first cut") << 12 << 3 << 1;
        // The trial copy cut the second page: it is owed no more.
        QTest::newRow("the same, a trial copy stopped after its cut between") << 12 << 3 << 2;
    }
    void printAndCutCutsEveryPagePrintedAhead()
    {
        QFETCH(int, rows);
        QFETCH(int, printPreset);
        QFETCH(int, stops);
        const bool stopAfterFirstCut = stops > 0;
        usePrinter(3);
        // Roller 80, trigger 96: three 200 mm pages to the trigger.
        f.config->setPrintRollerTrigger(96);
        useRows(rows);
        if (QTest::currentTestFailed())
            return;
        const int pages = printPreset > 0 ? printPreset : rows;
        // Marks as far as the last page reaches.
        markPages(pages + 1);
        app()->setCutTaskCopies(100);
        app()->setPrintTaskCopies(printPreset);

        // The stop comes from the first copy's count, as the page's cut ends.
        QMetaObject::Connection stopper;
        if (stopAfterFirstCut)
            stopper = connect(app(), &SpoolsmithApp::cutCopiesChanged, this,
                              [this] { app()->stopTask(true); }, Qt::DirectConnection);
        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(waitIdle(kLongHangMs));
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        int printedBefore = 0;
        if (stopAfterFirstCut) {
            disconnect(stopper);
            QCOMPARE(app()->cutCopies(), 1);
            printedBefore = app()->printCopies();
            QCOMPARE(printedBefore, 3);
            if (stops == 2) {
                // Stopped as the machine takes its feed to the next page, its
                // answers late from then on, so before its count step.
                std::atomic<int> stage{0};
                m_web->setPlotTaken([&](const WebModel::Plot &plot) {
                    if (stage == 0 && !plot.move) {
                        stage = 1;
                    } else if (stage == 1 && plot.move) {
                        f.sim->setLateReplyMs(150);
                        f.sim->setFault(SimFault::LateReply);
                        app()->stopTask();
                        stage = 2;
                    }
                });
                app()->startTask(false, true);
                const bool stopped = QTest::qWaitFor([&] { return stage == 2; }, kHangMs);
                m_web->setPlotTaken({});
                QVERIFY(stopped && waitIdle());
                f.sim->setFault(SimFault::None);
                QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
            }
            app()->startTask(false);
            QCOMPARE(f.device->errorMessage(), QString());
            QVERIFY(waitIdle(kLongHangMs));
            QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        }
        QCOMPARE(int(m_spooler.pages().size()), pages);
        QCOMPARE(app()->printCopies(), pages);
        QCOMPARE(app()->cutCopies(), pages - (stops == 2 ? 1 : 0));
        // The job's record counts only the cuts of pages it printed.
        QCOMPARE(int(app()->printWorkRecord().cutCnt), pages - printedBefore);
        const QList<double> starts = cutStarts();
        QCOMPARE(starts.size(), pages);
        const double pageFeed = starts.at(1) - starts.at(0);
        QVERIFY(pageFeed > 1000);
        for (int k = 1; k < starts.size(); ++k)
            QVERIFY2(qAbs(starts.at(k) - starts.at(k - 1) - pageFeed) < 100,
                     qPrintable(QStringLiteral("cut %1 began %2 after the one before, pages are %3 apart")
                                    .arg(k + 1).arg(starts.at(k) - starts.at(k - 1)).arg(pageFeed)));
        QVERIFY2(m_web->fed() - starts.last() <= pageFeed + 100,
                 qPrintable(QStringLiteral("fed %1 past the last cut").arg(m_web->fed() - starts.last())));
    }

    void aFailedPrintEndsTheJobWithItsMessage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("cutTask");
        QTest::addColumn<int>("printed");
        QTest::addColumn<QString>("message");
        QTest::newRow("print only, no such printer") << "printer" << 0 << 0 << QStringLiteral("打印机无法打开");
        QTest::newRow("print only, a page that cannot be drawn") << "render" << 0 << 0
                                                                 << QStringLiteral("打印页面无法生成");
        QTest::newRow("print and cut, no print component") << "component" << 5 << 0
                                                            << QStringLiteral("打印组件未接收打印任务");
        QTest::newRow("print and cut, the printer failing after two pages") << "device" << 5 << 2
                                                                            << QStringLiteral("打印机无法开始打印");
        // The search's print fails (with the roller above its trigger at the
        // print step, lowered once the search feeds).
        QTest::newRow("print and cut, no such printer in the page search") << "search printer" << 5 << 0
                                                                           << QStringLiteral("打印机无法打开");
        QTest::newRow("print and cut, the printer failing in the page search after two pages")
            << "search device" << 5 << 2 << QStringLiteral("打印机无法开始打印");
    }
    // A job whose print fails does not run on silently: it ends by itself
    // with the failure's message, a print-and-cut job once the pages it
    // printed are cut; nothing is cut past them, even where marks are, nor
    // any web fed after a failure with no page owed.
    void aFailedPrintEndsTheJobWithItsMessage()
    {
        QFETCH(QString, how);
        QFETCH(int, cutTask);
        QFETCH(int, printed);
        QFETCH(QString, message);
        qputenv("SPOOLSMITH_NAMED_PREFIX", QByteArray("tst_print_job_") + QByteArray::number(QCoreApplication::applicationPid()));
        usePrinter(2);
        const bool inSearch = how.startsWith(QStringLiteral("search"));
        for (int page = 3; how.endsWith(QStringLiteral("device")) && page <= 20; ++page)
            m_spooler.printer(QStringLiteral("Canon_Mem")).failStartPages << page;
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 0);
        f.config->setProperty(Config::CPT_Wait_Print, false);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        QString file = writePdf(QSizeF(100, 200));
        if (how == "render")
            file = f.writeFile("broken.pdf", "not a PDF");
        app()->setPrintFile(file);
        app()->setPrintPageSize(QSizeF(100, 200));
        app()->setPrintPreview(QImage(10, 10, QImage::Format_RGB32));
        if (how.endsWith(QStringLiteral("printer")))
            app()->setPrinterName(QStringLiteral("No such printer"));
        if (how == "component")
            app()->setPrinterName(QStringLiteral("CorelDRAW"));
        if (how == "search printer")
            f.config->setPrintRollerTrigger(70);
        markPages(how == "search printer" ? 0 : 5, inSearch ? 9000 : 0);
        app()->setCutTaskCopies(cutTask);
        app()->setPrintTaskCopies(5);
        std::atomic<double> fedAtMessage{-1}; // the search prints after a page of blank web
        // The start itself reports nothing: the failure comes from the job's
        // own thread, however soon a loaded machine runs it.
        bool starting = false;
        bool toldWhileStarting = false;
        QObject scope;
        connect(f.device.get(), &TRV610Plus::errorMessageChanged, &scope, [&] {
            if (fedAtMessage.load() < 0 && f.device->errorMessage().contains(message))
                fedAtMessage = m_web->fed();
            if (QThread::currentThread() == thread() && starting)
                toldWhileStarting = true;
        }, Qt::DirectConnection);

        QCOMPARE(f.device->errorMessage(), QString());
        starting = true;
        app()->startTask(true);
        starting = false;
        QVERIFY(!toldWhileStarting);
        if (how == "search printer") {
            QTRY_VERIFY_WITH_TIMEOUT(m_web->fed() > 0, kHangMs);
            f.device->setPrintRoller(60);
        }
        QVERIFY(waitIdle());
        if (inSearch)
            QVERIFY2(fedAtMessage.load() > 0, qPrintable(QString::number(fedAtMessage.load())));
        if (how == "search printer")
            QCOMPARE(m_web->fed(), fedAtMessage.load());
        QCOMPARE(f.device->taskStatus(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        QVERIFY2(f.device->errorMessage().contains(message), qPrintable(f.device->errorMessage()));
        QCOMPARE(app()->printCopies(), printed);
        QCOMPARE(app()->cutCopies(), printed);
        QCOMPARE(int(m_spooler.pages().size()), printed);
        int cuts = 0;
        for (const WebModel::Plot &p : m_web->plots())
            cuts += p.move ? 0 : 1;
        QCOMPARE(cuts, printed);
        app()->setPrinterName(QString());
        f.config->setEnablePrint(false);
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstPrintJob)
#include "tst_print_job.moc"
