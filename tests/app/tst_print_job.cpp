// A print-and-cut job against the simulator that prints to the in-memory
// spooler: pages go out ahead of the cutter as the print roller allows, and
// each page's code leads the cut side back to the job's records.
#include "app/print/page_code_painter.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"
#include "platform/scene/gscene.h"
#include "tests/support/app_test_main.h"
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

#include <memory>

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

    bool waitIdle(int ms) { return m_rig.waitIdle(ms); }
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
    void init() { QVERIFY(m_rig.setUp(2000)); }
    // Marks of the pages on the web, as the printer put them: each page's
    // first two (a page's last two are the next one's first).
    void markPages(int pages)
    {
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        QCOMPARE(design.size(), 4);
        QList<QPointF> marks;
        for (int k = 0; k < pages; ++k)
            marks << QPointF(2400 + k * design.at(3).x(), 0) + design.at(0)
                  << QPointF(2400 + k * design.at(3).x(), 0) + design.at(1);
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
        m_rig.tearDown();
        m_spooler.clear();
    }

    void pagesArePrintedAheadOfTheCutterWithTheirCodes()
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

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(!f.device->idle());
        QVERIFY(waitIdle(60000));
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

    // Five copies over a data source of three rows: the three rows are
    // printed, the three pages cut, and the job ends by itself once the last
    // printed page is cut (status 2, the stop sent); no blank web is fed
    // looking for pages that were never printed.
    void printAndCutEndsOnceTheLastDataRowIsCut()
    {
        usePrinter(2);
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 0);
        f.config->setProperty(Config::CPT_Wait_Print, false);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QString xlsx = f.dir->filePath("rows.xlsx");
        QVERIFY(writeTestXlsx(xlsx, {{"Name"}, {"A"}, {"B"}, {"C"}}));
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(f.writeFile("rows.tva", kTemplate));
        app()->setDataIndex(1);
        // Read at once unless the machine is loaded: then rendered once read.
        QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, 10000);
        QTRY_VERIFY(app()->printFile().endsWith(QStringLiteral("/1pdf.pdf")));
        // Marks as far as the third page reaches.
        markPages(4);
        app()->setCutTaskCopies(5);
        app()->setPrintTaskCopies(5);

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(waitIdle(60000));
        QCOMPARE(f.device->taskStatus(), 2);
        QTRY_COMPARE(app()->taskStatus(), 2);
        QVERIFY(f.sim->commandCount(12) >= 1);
        QCOMPARE(int(m_spooler.pages().size()), 3);
        QCOMPARE(app()->printCopies(), 3);
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(app()->printWorkRecord().cutCnt, 3u);
        QVERIFY(f.device->errorMessage().contains(QStringLiteral("数据源已到最后一行，打印停止")));
        QList<double> starts;
        for (const WebModel::Plot &p : m_web->plots())
            if (!p.move)
                starts << p.start.x();
        QCOMPARE(starts.size(), 3);
        // Past the third page's cut only the feed to where a fourth would
        // begin, as between two pages; nothing searched for beyond it.
        const double pageFeed = starts.at(2) - starts.at(1);
        QVERIFY2(m_web->fed() - starts.last() <= pageFeed + 100,
                 qPrintable(QStringLiteral("fed %1 past the third cut, %2 between pages")
                                .arg(m_web->fed() - starts.last()).arg(pageFeed)));
        app()->setEnabledDataSource(false);
        app()->setDataSource(QString());
        app()->setPrinterName(QString());
        f.config->setEnablePrint(false);
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
    }
    // A job whose print fails does not run on silently: it ends by itself
    // with the failure's message, a print-and-cut job once the pages it
    // printed are cut; nothing is cut past them, even where marks are.
    void aFailedPrintEndsTheJobWithItsMessage()
    {
        QFETCH(QString, how);
        QFETCH(int, cutTask);
        QFETCH(int, printed);
        QFETCH(QString, message);
        qputenv("SPOOLSMITH_NAMED_PREFIX", QByteArray("tst_print_job_") + QByteArray::number(QCoreApplication::applicationPid()));
        usePrinter(2);
        for (int page = 3; how == "device" && page <= 20; ++page)
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
        if (how == "printer")
            app()->setPrinterName(QStringLiteral("No such printer"));
        if (how == "component")
            app()->setPrinterName(QStringLiteral("CorelDRAW"));
        markPages(5);
        app()->setCutTaskCopies(cutTask);
        app()->setPrintTaskCopies(5);

        app()->startTask(true);
        QCOMPARE(f.device->errorMessage(), QString());
        QVERIFY(waitIdle(60000));
        QCOMPARE(f.device->taskStatus(), 2);
        QTRY_COMPARE(app()->taskStatus(), 2);
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
