// Opening print files for preview, and variable data: a .tva template with
// an .xlsx source, each row rendered into a PDF of its own.
#include "app/print/print_file.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"
#include "platform/scene/gscene.h"
#include "platform/xlsx/xlsx_sheet.h"
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/recording_prompt.h"
#include "tests/support/xlsx_writer.h"
#include "vision/qr_page_code_reader.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

// A page of the given size in points with a black bar along its top edge.
QString writePdf(const QString &path, const QSizeF &points)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.fillRect(QRect(0, 0, writer.width(), writer.height() / 10), Qt::black);
    return path;
}

QVector<QStringList> twentyRows()
{
    QVector<QStringList> rows{{"Name", "No", "Note"}};
    for (int i = 1; i <= 20; ++i)
        rows.append({QStringLiteral("Item%1").arg(i), QString::number(1000 + i), QStringLiteral("note <%1>").arg(i)});
    return rows;
}

// Page 100 x 50 mm, four marks, one label outline and one text with fields.
const QByteArray kTemplate = R"({"format":"spoolsmith-tva","version":1,"page":{"width":100,"height":50},
"mark":{"type":4,"size":4,"margins":[3,3,3,3]},
"paths":[{"pen":1,"subpaths":[[20,20,200,20,200,120,20,120,20,20]]}],
"texts":[{"x":10,"y":10,"size":14,"text":"Name {Name} No {No} {Missing}"}],
"codes":[{"x":62,"y":8,"width":30,"height":30,"kind":"qr","text":"{Name}-{No}"}]})";

QString pdfText(const QString &path)
{
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None)
        return QString();
    return doc.getAllText(0).text().simplified();
}

// The QR code on the page, read back from the rendered PDF.
QString pdfQr(const QString &path)
{
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None)
        return QString();
    const QSizeF points = doc.pagePointSize(0);
    const QImage rendered = doc.render(0, (points * 4).toSize());
    QImage page(rendered.size(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(0, 0, rendered);
    QrPageCodeReader reader;
    return reader.read(page).text;
}

// A sheet part around these rows.
QByteArray sheetXml(const QByteArray &rows)
{
    return "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<sheetData>"
           + rows + "</sheetData></worksheet>";
}

QStringList rowFiles(const QString &folder)
{
    return QDir(folder).entryList({"*pdf.pdf"}, QDir::Files | QDir::Hidden);
}

} // namespace

class TstPrintFile : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    DeviceFixture f;
    RecordingPrompt m_prompt;

    void removeRowFiles()
    {
        QDir dir(app()->appPath());
        for (const QString &name : rowFiles(app()->appPath()))
            dir.remove(name);
    }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.info=false")); }
    void init()
    {
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        f.makeDevice(DeviceFixture::Driver::Registered);
        app()->setTaskStatus(2);
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 0);
        f.config->setProperty(Config::CPT_Version, 1);
        m_prompt.fileDialogs.clear();
        m_prompt.fileAnswers.clear();
    }
    void cleanup()
    {
        app()->setEnabledDataSource(false);
        app()->setDataSource(QString());
        app()->setPrintCutFile(QString());
        app()->cutScene()->gClear();
        removeRowFiles();
        app()->joinControlThreads();
        app()->waitTemplateFile();
        f.tearDown();
    }

    void a4PdfGivesSizeTipAndTurnedPreview()
    {
        const QString pdf = writePdf(f.dir->filePath("a4.pdf"), QSizeF(595, 842));
        QSignalSpy tip(app(), &SpoolsmithApp::printTipChanged);
        QSignalSpy file(app(), &SpoolsmithApp::printFileChanged);
        app()->setPrintFile(pdf);
        QCOMPARE(app()->printFile(), pdf);
        QCOMPARE(app()->printTip(), QStringLiteral("文件尺寸  210.00 x 297.00  mm²"));
        QCOMPARE(app()->printPageSize(), QSizeF(210, 297));
        QCOMPARE(tip.size(), 1);
        QCOMPARE(file.size(), 1);
        const QImage preview = app()->printPreview();
        QCOMPARE(preview.size(), QSize(842, 595));
        // The bar along the page's top edge is on the left after the -90 turn.
        QCOMPARE(qGray(preview.pixel(10, 300)), 0);
        const QRgb blank = preview.pixel(800, 300);
        QVERIFY(qAlpha(blank) == 0 || qGray(blank) > 200);
        QCOMPARE(app()->imageForUrl(app()->printImgPath()), preview);
        // No page codes: no cut file is asked for.
        QVERIFY(m_prompt.fileDialogs.isEmpty());

        // Two opens in one millisecond still get two addresses.
        const QString first = app()->printImgPath();
        app()->openPrintPdf(pdf);
        QVERIFY(app()->printImgPath() != first);
    }

    void filesNotReadKeepThePreview()
    {
        const QString pdf = writePdf(f.dir->filePath("a4.pdf"), QSizeF(595, 842));
        app()->setPrintFile(pdf);
        const QImage a4 = app()->printPreview();

        // The ".pdf" test is case-sensitive: the old preview stays, its address and tip are renewed.
        QFile::copy(pdf, f.dir->filePath("UPPER.PDF"));
        QString before = app()->printImgPath();
        QSignalSpy tip(app(), &SpoolsmithApp::printTipChanged);
        app()->setPrintFile(f.dir->filePath("UPPER.PDF"));
        QCOMPARE(app()->printFile(), f.dir->filePath("UPPER.PDF"));
        QCOMPARE(app()->printPreview(), a4);
        QVERIFY(app()->printImgPath() != before);
        QCOMPARE(tip.size(), 1);

        // A TIF is read on machine version 2 only.
        if (!QImageWriter::supportedImageFormats().contains("tiff"))
            QSKIP("no TIFF image plugin (qt6-image-formats-plugins)");
        QImage tif(400, 200, QImage::Format_RGB32);
        tif.fill(Qt::white);
        QVERIFY(tif.save(f.dir->filePath("page.tif")));
        app()->setPrintFile(f.dir->filePath("page.tif"));
        QCOMPARE(app()->printPreview(), a4);
        QCOMPARE(app()->printPageSize(), QSizeF(210, 297));

        f.config->setProperty(Config::CPT_Version, 2);
        app()->setPrintFile(f.dir->filePath("page.tif"));
        QCOMPARE(app()->printPreview().size(), QSize(200, 400));
        QCOMPARE(app()->printTip(), QStringLiteral("文件尺寸  %1 x %2  mm²")
                                        .arg(400 * 25.4 / 72, 0, 'f', 2)
                                        .arg(200 * 25.4 / 72, 0, 'f', 2));

        // A PDF that cannot be read leaves an empty preview.
        QVERIFY(f.writeFile("broken.pdf", "not a pdf").size() > 0);
        app()->setPrintFile(f.dir->filePath("broken.pdf"));
        QVERIFY(app()->printPreview().isNull());
    }

    void pageCodesAskForTheCutFile()
    {
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 4);
        const QString pdf = writePdf(f.dir->filePath("coded.pdf"), QSizeF(283.46, 566.93));
        const QString plt = f.writeFile("coded.plt", "IN;PS8000,4000,200,120,4,160;SP1;PU0,0;PD0,400,400,400,400,0,0,0;PG;");
        m_prompt.fileAnswers << plt;
        app()->setPrintFile(pdf);
        QCOMPARE(m_prompt.fileDialogs, QStringList{QStringLiteral("选择打印文件对应的切割文件")});
        QCOMPARE(app()->printCutFile(), plt);
        QVERIFY(!app()->printScene()->gItemAll().isEmpty());

        // Cancelled: no cut file belongs to the print file.
        app()->setPrintFile(pdf);
        QCOMPARE(m_prompt.fileDialogs.size(), 2);
        QCOMPARE(app()->printCutFile(), QString());
        QVERIFY(app()->printScene()->gItemAll().isEmpty());
    }

    void sheetReadsEveryCellKind()
    {
        const QString path = f.dir->filePath("kinds.xlsx");
        QVERIFY(writeTestXlsx(path, {{"Name", "", "Price"}, {"Tea & milk", "x<y", "3.5"}}));
        XlsxSheet sheet;
        QVERIFY2(sheet.load(path), qPrintable(sheet.error()));
        QCOMPARE(sheet.rowCount(), 2);
        QCOMPARE(sheet.row(0), (QStringList{"Name", "", "Price"}));
        QCOMPARE(sheet.row(1), (QStringList{"Tea & milk", "x<y", "3.5"}));
        QVERIFY(sheet.row(2).isEmpty());
        QVERIFY(!sheet.load(f.writeFile("plain.xlsx", "no zip")));
        QCOMPARE(XlsxSheet::columnOfReference("AB7"), 27);
        QCOMPARE(XlsxSheet::columnOfReference("7"), -1);
    }

    // A sheet as a spreadsheet program writes it: every cell reads as the
    // sheet shows it, and the formatted empty rows after the data are no data.
    void sheetReadsCellsAsTheSheetShowsThem()
    {
        const QByteArray styles =
            "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<numFmts count=\"10\"><numFmt numFmtId=\"176\" formatCode=\"000000\"/>"
            "<numFmt numFmtId=\"177\" formatCode=\"0.00_);[Red]\\(0.00\\)\"/>"
            "<numFmt numFmtId=\"178\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/>"
            "<numFmt numFmtId=\"179\" formatCode=\"[&gt;=1000000]0.0,,&quot;M&quot;;[&gt;=1000]0.0,&quot;K&quot;;0\"/>"
            "<numFmt numFmtId=\"180\" formatCode=\"[&lt;=9999999]###-####;(###) ###-####\"/>"
            "<numFmt numFmtId=\"181\" formatCode=\".00\"/><numFmt numFmtId=\"182\" formatCode=\"[$-804]aaaa\"/>"
            "<numFmt numFmtId=\"183\" formatCode=\"[$-804]aaa\"/><numFmt numFmtId=\"184\" formatCode=\"[$-804]AM/PM h:mm\"/>"
            "<numFmt numFmtId=\"185\" formatCode=\"hh:mm:ss.00000000000000\"/></numFmts>"
            "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\" fontId=\"0\"/></cellStyleXfs>"
            "<cellXfs count=\"18\"><xf numFmtId=\"0\" xfId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"176\" applyNumberFormat=\"1\"/><xf numFmtId=\"2\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"1\" applyNumberFormat=\"1\"/><xf numFmtId=\"177\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"22\" applyNumberFormat=\"1\"/><xf numFmtId=\"178\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"20\" applyNumberFormat=\"1\"/><xf numFmtId=\"3\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"179\"/><xf numFmtId=\"180\"/><xf numFmtId=\"181\"/><xf numFmtId=\"182\"/>"
            "<xf numFmtId=\"183\"/><xf numFmtId=\"184\"/><xf numFmtId=\"48\"/><xf numFmtId=\"185\"/></cellXfs>"
            "</styleSheet>";
        const QByteArray strings =
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"3\" uniqueCount=\"3\">"
            "<si><t>Code</t></si>"
            "<si><r><t>東京</t></r><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh><phoneticPr fontId=\"1\"/></si>"
            "<si><t>line1_x000D_</t></si></sst>";
        const struct
        {
            const char *cell; // the <c> element of row r, column A, "%1" its reference
            QString shown;
        } cases[] = {
            {"<c r=\"%1\" s=\"1\"><v>45292</v></c>", "2024/1/1"},
            {"<c r=\"%1\" s=\"2\"><v>123</v></c>", "000123"},
            {"<c r=\"%1\" s=\"3\"><v>12.5</v></c>", "12.50"},
            {"<c r=\"%1\" s=\"4\"><v>1234567890123450</v></c>", "1234567890123450"},
            {"<c r=\"%1\" s=\"4\"><v>1E+15</v></c>", "1000000000000000"},
            {"<c r=\"%1\"><v>1.23456789012345E+15</v></c>", "1.23457E+15"},
            {"<c r=\"%1\"><v>6901234567892</v></c>", "6901234567892"},
            {"<c r=\"%1\"><v>0.30000000000000004</v></c>", "0.3"},
            {"<c r=\"%1\" s=\"0\"><v>45292</v></c>", "45292"},
            {"<c r=\"%1\" s=\"5\"><v>-3.5</v></c>", "(3.50)"},
            {"<c r=\"%1\" s=\"6\"><v>45292.5</v></c>", "2024/1/1 12:00"},
            {"<c r=\"%1\" s=\"7\"><v>45306</v></c>", "2024年1月15日"},
            {"<c r=\"%1\" s=\"8\"><v>0.75</v></c>", "18:00"},
            {"<c r=\"%1\" s=\"9\"><v>1234567.4</v></c>", "1,234,567"},
            // Conditions choose the section: two and an else, one and the rest.
            {"<c r=\"%1\" s=\"10\"><v>500</v></c>", "500"},
            {"<c r=\"%1\" s=\"10\"><v>5000</v></c>", "5.0K"},
            {"<c r=\"%1\" s=\"10\"><v>2500000</v></c>", "2.5M"},
            {"<c r=\"%1\" s=\"10\"><v>-5000</v></c>", "-5000"},
            {"<c r=\"%1\" s=\"11\"><v>2125551234</v></c>", "(212) 555-1234"},
            {"<c r=\"%1\" s=\"11\"><v>5551234</v></c>", "555-1234"},
            {"<c r=\"%1\" s=\"12\"><v>12.5</v></c>", "12.50"},
            {"<c r=\"%1\" s=\"12\"><v>0.5</v></c>", ".50"},
            {"<c r=\"%1\" s=\"13\"><v>45292</v></c>", "星期一"},
            {"<c r=\"%1\" s=\"14\"><v>45298</v></c>", "日"},
            {"<c r=\"%1\" s=\"15\"><v>0.5868055555555556</v></c>", "下午 2:05"},
            {"<c r=\"%1\" s=\"15\"><v>0.3368055555555556</v></c>", "上午 8:05"},
            {"<c r=\"%1\" s=\"16\"><v>12345</v></c>", "12.3E+3"},
            {"<c r=\"%1\" s=\"16\"><v>0.00123</v></c>", "1.2E-3"},
            {"<c r=\"%1\" s=\"16\"><v>999999</v></c>", "1.0E+6"},
            {"<c r=\"%1\" s=\"17\"><v>0.5732653356481482</v></c>", "13:45:30.12500000000000"},
            {"<c r=\"%1\" s=\"17\"><v>0.3368923611111111</v></c>", "08:05:07.50000000000000"},
            {"<c r=\"%1\" s=\"17\"><v>45292.3368923611</v></c>", "08:05:07.50000000000000"},
            {"<c r=\"%1\" t=\"s\"><v>1</v></c>", "東京"},
            {"<c r=\"%1\" t=\"s\"><v>2</v></c>", "line1\r"},
            {"<c r=\"%1\" t=\"inlineStr\"><is><t>a_x005F_x000D_b_x000a_</t></is></c>", "a_x000D_b\n"},
            {"<c r=\"%1\" t=\"str\"><f>A1</f><v>x_x000A_y</v></c>", "x\ny"},
        };
        QByteArray sheet = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                           "<row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
        int r = 2;
        for (const auto &c : cases) {
            const QByteArray ref = "A" + QByteArray::number(r);
            sheet += "<row r=\"" + QByteArray::number(r) + "\" spans=\"1:2\">" + QString::fromUtf8(c.cell).arg(QString::fromLatin1(ref)).toUtf8()
                     + "</row>";
            ++r;
        }
        // Formatting carried down past the data: styled rows, styled empty cells.
        for (int e = r; e < r + 38; ++e)
            sheet += "<row r=\"" + QByteArray::number(e) + "\" spans=\"1:2\" s=\"2\" customFormat=\"1\">"
                     + (e % 2 ? "<c r=\"A" + QByteArray::number(e) + "\" s=\"2\"/><c r=\"B" + QByteArray::number(e) + "\" s=\"3\"/>" : QByteArray())
                     + "</row>";
        sheet += "</sheetData></worksheet>";
        const QString path = f.dir->filePath("shown.xlsx");
        QVERIFY(writeTestXlsxParts(path, sheet, strings, styles));
        XlsxSheet read;
        QVERIFY2(read.load(path), qPrintable(read.error()));
        QCOMPARE(read.rowCount(), int(std::size(cases)) + 1);
        for (int i = 0; i < int(std::size(cases)); ++i)
            QVERIFY2(read.cell(i + 1, 0) == cases[i].shown,
                     qPrintable(QStringLiteral("row %1: \"%2\", the sheet shows \"%3\"")
                                    .arg(i + 2)
                                    .arg(read.cell(i + 1, 0), cases[i].shown)));
    }

    // Sheets no real workbook holds are refused with the bound they break;
    // cells far out are kept without filling the rows and columns between.
    void hostileSheets_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QByteArray>("strings");
        QTest::addColumn<QString>("refusal"); // empty: read
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("lastRow");

        QTest::newRow("row past the last") << sheetXml("<row r=\"1048577\"><c><v>1</v></c></row>") << QByteArray()
                                           << "row 1048577 is past the sheet's last row" << 0 << QStringList();
        QTest::newRow("row number past any int")
            << sheetXml("<row r=\"99999999999\"><c><v>1</v></c></row>") << QByteArray()
            << "past the sheet's last row" << 0 << QStringList();
        QTest::newRow("column past XFD") << sheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>") << QByteArray()
                                         << "past the sheet's last column" << 0 << QStringList();
        QTest::newRow("column past XFD by count")
            << sheetXml("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>") << QByteArray()
            << "past the sheet's last column" << 0 << QStringList();
        QTest::newRow("zip bomb") << sheetXml("<row>" + QByteArray(70 << 20, ' ') + "</row>") << QByteArray()
                                  << "inflates more than 200 times" << 0 << QStringList();
        QByteArray noise(5 << 20, 'a');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char('a' + (quint32(i) * 2654435761u >> 28));
        QTest::newRow("text longer than any cell") << sheetXml("<row><c t=\"inlineStr\"><is><t>" + noise + "</t></is></c></row>")
                                                   << QByteArray() << "text of more than 4 MiB" << 0 << QStringList();
        QByteArray many = "<sst>";
        for (int i = 0; many.size() <= (64 << 20); ++i)
            many += "<si><t>" + QByteArray::number(quint32(i) * 2654435761u, 36) + "</t></si>";
        QTest::newRow("shared strings past their cap")
            << sheetXml("<row><c t=\"s\"><v>0</v></c></row>") << many + "</sst>" << "inflates past 64 MiB" << 0
            << QStringList();

        QByteArray far;
        for (int r = 1; r <= 2000; ++r)
            far += "<row r=\"" + QByteArray::number(r * 500) + "\"><c r=\"XFD" + QByteArray::number(r * 500)
                   + "\"><v>" + QByteArray::number(r) + "</v></c></row>";
        QStringList lastFar(16383);
        lastFar << "2000";
        QTest::newRow("last column of far rows") << sheetXml(far) << QByteArray() << QString() << 1000000 << lastFar;
        QTest::newRow("cells out of order, one written twice")
            << sheetXml("<row r=\"2\"><c r=\"C2\" t=\"s\"><v>0</v></c><c r=\"A2\"><v>1</v></c>"
                        "<c r=\"A2\" t=\"b\"><v>1</v></c></row>")
            << QByteArray("<sst><si><t>x</t></si></sst>") << QString() << 2 << QStringList{"TRUE", "", "x"};
    }
    void hostileSheets()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QByteArray, strings);
        QFETCH(QString, refusal);
        QFETCH(int, rows);
        QFETCH(QStringList, lastRow);
        const QString path = f.dir->filePath("hostile.xlsx");
        QVERIFY(writeTestXlsxParts(path, sheet, strings));
        XlsxSheet read;
        QCOMPARE(read.load(path), refusal.isEmpty());
        QVERIFY2(read.error().contains(refusal), qPrintable(read.error()));
        QCOMPARE(read.rowCount(), rows);
        QCOMPARE(read.row(rows - 1), lastRow);
        QCOMPARE(read.cell(rows - 1, lastRow.size() - 1), lastRow.value(lastRow.size() - 1));
        QVERIFY(read.row(rows - 2).isEmpty());
    }

    // A styles part never costs the values: past a bound or unreadable, the
    // numbers show as General, said once in the log; named styles past the
    // cell styles are not read at all.
    void stylesNeverCostTheValues_data()
    {
        QTest::addColumn<QByteArray>("styles");
        QTest::addColumn<QString>("logged"); // empty: the formats hold
        QTest::addColumn<QString>("shown");

        const QByteArray head = "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                "<numFmts count=\"1\"><numFmt numFmtId=\"176\" formatCode=\"000000\"/></numFmts>";
        const QByteArray cellStyles = "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"176\"/></cellXfs>";
        // Named styles as years of copying leave them, each of its own font.
        QByteArray named, names;
        for (int i = 0; names.size() <= (17 << 20); ++i) {
            const QByteArray n = QByteArray::number(quint32(i) * 2654435761u, 36);
            named += "<xf numFmtId=\"0\" fontId=\"" + n + "\" borderId=\"" + QByteArray::number(i) + "\"/>";
            names += "<cellStyle name=\"Style " + n + "\" xfId=\"" + QByteArray::number(i) + "\"/>";
        }
        QByteArray alike;
        for (int i = 0; i < 100000; ++i)
            alike += "<xf numFmtId=\"0\" fontId=\"0\"/>";
        QTest::newRow("named styles past the cap")
            << head + "<cellStyleXfs>" + named + "</cellStyleXfs>" + cellStyles + "</styleSheet>"
            << "xl/styles.xml inflates past 16 MiB" << "123";
        QTest::newRow("named styles past the ratio")
            << head + "<cellStyleXfs>" + alike + "</cellStyleXfs>" + cellStyles + "</styleSheet>"
            << "xl/styles.xml inflates more than 200 times" << "123";
        QTest::newRow("not XML") << head + "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"176\"/><</cellXfs>" << "xl/styles.xml:" << "123";
        QTest::newRow("names after the cell styles past the cap")
            << head + cellStyles + "<cellStyles>" + names + "</cellStyles></styleSheet>" << QString() << "000123";
    }
    void stylesNeverCostTheValues()
    {
        QFETCH(QByteArray, styles);
        QFETCH(QString, logged);
        QFETCH(QString, shown);
        const QRegularExpression general(QStringLiteral("styles.*General"));
        QTest::failOnWarning(general);
        if (!logged.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(logged) + ".*General"));
        const QString path = f.dir->filePath("styled.xlsx");
        QVERIFY(writeTestXlsxParts(path, sheetXml("<row><c s=\"1\"><v>123</v></c></row><row><c><v>2</v></c></row>"), {},
                                   styles));
        XlsxSheet read;
        QVERIFY2(read.load(path), qPrintable(read.error()));
        QCOMPARE(read.rowCount(), 2);
        QCOMPARE(read.row(0), QStringList{shown});
        QCOMPARE(read.row(1), QStringList{"2"});
    }

    // A large sheet is read beside the GUI thread, its progress shown; the
    // current row is rendered once it is read.
    void largeSheetIsReadInTheBackground()
    {
        QByteArray rows = "<row><c><v>0</v></c><c t=\"inlineStr\"><is><t>Name</t></is></c></row>";
        for (int r = 2; r <= 300000; ++r)
            rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\"><v>"
                    + QByteArray::number(r) + "</v></c><c r=\"B" + QByteArray::number(r)
                    + "\" t=\"inlineStr\"><is><t>Item" + QByteArray::number(r) + "</t></is></c></row>";
        const QString xlsx = f.dir->filePath("large.xlsx");
        QVERIFY(writeTestXlsxParts(xlsx, sheetXml(rows)));
        QSignalSpy progress(app(), &SpoolsmithApp::dataSourceProgressChanged);
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(f.writeFile("large.tva", kTemplate));
        QCOMPARE(app()->dataSource(), xlsx);
        QVERIFY(app()->dataSourceProgress() >= 0);
        QVERIFY(rowFiles(app()->appPath()).isEmpty());
        app()->setDataIndex(7);
        QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, kLongHangMs);
        QVERIFY(progress.size() >= 3);
        QCOMPARE(app()->dataIndex(), 7);
        QCOMPARE(pdfText(app()->printFile()), QStringLiteral("Name Item8 No {No} {Missing}"));
    }

    void rowRendersIntoItsOwnFile()
    {
        const QString xlsx = f.dir->filePath("data.xlsx");
        QVERIFY(writeTestXlsx(xlsx, twentyRows()));
        const QString tva = f.writeFile("label.TVA", kTemplate);
        const QString operatorFile = app()->appPath() + "/mypdf.pdf";
        writePdf(operatorFile, QSizeF(100, 100));
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(tva);
        QCOMPARE(m_prompt.fileDialogs, QStringList{QStringLiteral("选择数据源")});
        QCOMPARE(app()->dataSource(), xlsx);
        QVERIFY(app()->enabledDataSource());
        QCOMPARE(app()->printCutFile(), tva);
        // No cut file was open: the template became the cut file too.
        QVERIFY(!app()->cutFile().isEmpty());

        app()->setDataIndex(12);
        QCOMPARE(app()->dataIndex(), 12);
        const QString row12 = app()->appPath() + "/12pdf.pdf";
        QCOMPARE(app()->printFile(), row12);
        QCOMPARE(rowFiles(app()->appPath()), (QStringList{"12pdf.pdf", "mypdf.pdf"}));
        QCOMPARE(pdfText(row12), QStringLiteral("Name Item12 No 1012 {Missing}"));
        // The PDF writer keeps whole points.
        QVERIFY(qAbs(app()->printPageSize().width() - 100) < 0.5 && qAbs(app()->printPageSize().height() - 50) < 0.5);
        QCOMPARE(app()->printPreview().size(), QSize(142, 283));
        QVERIFY(QFile::remove(operatorFile));

        // A second template keeps the data source and renders the current row.
        const QString other = f.writeFile("other.tva", QByteArray(kTemplate).replace("Name {Name}", "N={Name}"));
        app()->setPrintFile(other);
        QCOMPARE(m_prompt.fileDialogs.size(), 1);
        QCOMPARE(app()->printCutFile(), other);
        QCOMPARE(pdfText(row12), QStringLiteral("N=Item12 No 1012 {Missing}"));

        // Past the last row: nothing is rendered and the operator is told.
        app()->setDataIndex(20);
        QCOMPARE(pdfText(app()->printFile()), QStringLiteral("N=Item20 No 1020 {Missing}"));
        app()->setDataIndex(21);
        QCOMPARE(app()->dataIndex(), 20);
        QVERIFY(f.device->errorMessage().contains(QStringLiteral("数据源已到最后一行，打印停止")));

        // Switched off, a row change changes nothing.
        app()->setEnabledDataSource(false);
        app()->setDataIndex(3);
        QCOMPARE(app()->dataIndex(), 20);
    }

    void printOnlyJobEndsAtTheLastDataRow_data()
    {
        // "end", "reading": a large sheet chosen just before, "failing": row 19, "unreadable": a sheet
        // chosen just before that cannot be read
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("printed");
        QTest::addColumn<QString>("message");
        QTest::newRow("the last row") << "end" << 3 << QStringLiteral("数据源已到最后一行，打印停止");
        QTest::newRow("a sheet still being read") << "reading" << 0 << QStringLiteral("数据源正在读取，请读取完成后再开始");
        QTest::newRow("a row that fails to render") << "failing" << 1 << QStringLiteral("数据行19无法生成打印文件");
        QTest::newRow("a sheet that cannot be read") << "unreadable" << 0 << QStringLiteral("数据源无法读取");
    }

    // A print-only job over variable data from row 18 of 20 ends at the last
    // row by itself with what it printed, counted and recorded; a job
    // started while a sheet is still read is refused (nothing of the sheet
    // before printed); a row that cannot be written stops the job with its
    // own message, not as the end of the data.
    void printOnlyJobEndsAtTheLastDataRow()
    {
        QFETCH(QString, how);
        QFETCH(int, printed);
        QFETCH(QString, message);
        printing::MemorySpooler spooler;
        printing::MemorySpooler::Printer printer;
        printer.resolution = QSize(400, 200);
        spooler.addPrinter(QStringLiteral("Canon_Mem"), printer);
        printing::installSpooler(&spooler);
        QVERIFY(f.startSimulator());
        QVERIFY(f.link());
        const QString xlsx = f.dir->filePath("data.xlsx");
        QVERIFY(writeTestXlsx(xlsx, twentyRows()));
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(f.writeFile("label.tva", kTemplate));
        app()->setDataIndex(18);
        // Read at once unless the machine is loaded: then rendered once read.
        QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(app()->printFile().endsWith(QStringLiteral("/18pdf.pdf")), kHangMs);
        const QString blocking = app()->appPath() + "/19pdf.pdf";
        if (how == "failing")
            QVERIFY(QDir().mkpath(blocking)); // no file can be written there
        if (how == "reading") {
            QByteArray rows;
            for (int r = 1; r <= 300000; ++r)
                rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r)
                        + "\" t=\"inlineStr\"><is><t>Item" + QByteArray::number(r) + "</t></is></c></row>";
            const QString large = f.dir->filePath("large.xlsx");
            QVERIFY(writeTestXlsxParts(large, sheetXml(rows)));
            app()->setDataSource(large);
            QVERIFY(app()->dataSourceProgress() >= 0);
        }
        if (how == "unreadable") {
            app()->setDataSource(f.writeFile("broken.xlsx", "not a workbook"));
            QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, kHangMs);
            QTRY_VERIFY_WITH_TIMEOUT(f.device->errorMessage().contains(message), kHangMs);
            f.device->setErrorMessage(QString()); // the start must say it again
        }
        const bool refused = how == "reading" || how == "unreadable";
        f.config->setEnablePrint(true);
        f.config->setPrintRollerMax(100);
        f.config->setPrintRollerTrigger(100);
        f.config->setProperty(Config::CPT_printCopiesOnce, 1);
        f.config->setProperty(Config::CPT_Printer_Copies, false);
        f.config->setProperty(Config::CPT_Wait_Print, false);
        app()->setPrinterName(QStringLiteral("Canon_Mem"));
        app()->setCutTaskCopies(0);
        app()->setPrintTaskCopies(5);
        app()->reCount();
        app()->startTask(true);
        QCOMPARE(f.device->idle(), refused);
        QTRY_VERIFY_WITH_TIMEOUT(f.device->idle(), kHangMs);
        QCOMPARE(f.device->taskStatus(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(app()->taskStatus(), 2, kHangMs);
        QCOMPARE(app()->printCopies(), printed);
        QCOMPARE(int(spooler.pages().size()), printed);
        QVERIFY2(f.device->errorMessage().contains(message), qPrintable(f.device->errorMessage()));
        if (how != "end")
            QVERIFY(!f.device->errorMessage().contains(QStringLiteral("数据源已到最后一行")));
        if (how == "end") {
            QCOMPARE(app()->dataIndex(), 20);
            // Started again past the last row: refused until a row is chosen.
            f.device->setErrorMessage(QString());
            app()->startTask(false);
            QVERIFY(f.device->idle());
            QVERIFY(f.device->errorMessage().contains(message));
        }
        if (how == "reading")
            QTRY_COMPARE_WITH_TIMEOUT(app()->dataSourceProgress(), -1, kHangMs);
        QDir().rmdir(blocking);
        printing::installSpooler(nullptr);
        app()->setPrinterName(QString());
        f.config->setEnablePrint(false);
    }

    void tvaCutFileServesAsPrintFileWhenNoneIsSet()
    {
        app()->openPrintPdf(QString());
        const QString tva = f.writeFile("cut.tva", kTemplate);
        app()->setCutFile(tva);
        QCOMPARE(app()->printCutFile(), tva);
        QCOMPARE(m_prompt.fileDialogs, QStringList{QStringLiteral("选择数据源")});
        // Cancelled: no data source, so no row is printed.
        QVERIFY(!app()->enabledDataSource());

        // A print file already chosen stays.
        const QString pdf = writePdf(f.dir->filePath("kept.pdf"), QSizeF(595, 842));
        app()->setPrintFile(pdf);
        app()->setCutFile(f.writeFile("again.tva", kTemplate));
        QCOMPARE(app()->printFile(), pdf);
        QCOMPARE(app()->printCutFile(), tva);
    }

    void taskThreadAdvancesRowsWhileThePreviewIsRead()
    {
        const QString xlsx = f.dir->filePath("data.xlsx");
        QVERIFY(writeTestXlsx(xlsx, twentyRows()));
        m_prompt.fileAnswers << xlsx;
        app()->setPrintFile(f.writeFile("label.tva", kTemplate));
        app()->setDataIndex(12);

        // As printing does after each printed page, on the task thread.
        std::atomic<bool> done{false};
        std::thread task([this, &done] {
            for (int page = 0; page < 3; ++page)
                app()->setDataIndex(app()->dataIndex() + 1);
            done = true;
        });
        int reads = 0;
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            reads += app()->imageForUrl(app()->printImgPath()).isNull() ? 0 : 1;
        }
        task.join();
        QVERIFY(reads > 0);
        QCOMPARE(app()->dataIndex(), 15);
        QCOMPARE(rowFiles(app()->appPath()), QStringList{"15pdf.pdf"});
        QCOMPARE(pdfText(app()->printFile()), QStringLiteral("Name Item15 No 1015 {Missing}"));
    }

    void reportOpensInTheSpreadsheetProgram()
    {
        const QByteArray path = qgetenv("PATH");
        // A Calc stand-in on the search path that notes what it was asked to open.
        const QString bin = f.dir->filePath("bin");
        QVERIFY(QDir().mkpath(bin));
        const QString opened = f.dir->filePath("opened.txt");
        QFile script(bin + "/localc");
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(opened).toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin));
        f.device->setErrorMessage(QString());
        app()->openLabelExcel();
        const auto noted = [&opened] {
            QFile note(opened);
            return note.open(QIODevice::ReadOnly) ? note.readAll().trimmed() : QByteArray();
        };
        QTRY_COMPARE_WITH_TIMEOUT(noted(), app()->appPath().toUtf8() + "/label.csv", kHangMs);
        QVERIFY(f.device->errorMessage().isEmpty());

        // None installed: the operator is told.
        qputenv("PATH", QFile::encodeName(f.dir->filePath("empty")));
        app()->openLabelExcel();
        qputenv("PATH", path);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("文件打开失败，请安装office或wps"));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstPrintFile)

#include "tst_print_file.moc"
