#include "tests/app/print_rig.h"

#include "app/print/page_code_painter.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gscene.h"
#include "vision/qr_page_code_reader.h"

#include <QPainter>
#include <QTest>

class TestPageCode : public QObject
{
    Q_OBJECT
    PrintRig rig;
    const QString printer = QStringLiteral("Canon_Mem");
    const QSizeF pageMm{100, 50};

    // A 100 x 50 mm page at 300 dpi whose print scene has four marks 10 mm
    // in from the left and top.
    QString setUpPage(uint markerType, double top = 10.0)
    {
        printing::MemorySpooler::Printer p;
        p.resolution = QSize(1181, 590);
        rig.spooler.addPrinter(printer, p);
        const QString file = rig.writePdf(QStringLiteral("label.pdf"), pageMm);
        rig.usePrintFile(file, pageMm, printer);
        rig.file->printScene()->setPageGeometry(pageMm, new GMarkItem(pageMm, QMarginsF(10, top, -10, -10), 4, 5.0));
        rig.set(Config::CPT_Enable_Print_Marker_Type, markerType);
        return file;
    }
    QImage printOnePage(const QString &file)
    {
        const int before = int(rig.spooler.pages().size());
        if (!rig.batcher->printPdf(file, printer, 1) || rig.spooler.pages().size() != before + 1)
            return {};
        return rig.spooler.pages().last().image;
    }
    // The page rectangle r (mm) in pixels of the page image, with a margin.
    QRect pixels(const QRectF &r, double margin) const
    {
        const double s = 1181 / pageMm.width();
        return QRectF((r.x() - margin) * s, (r.y() - margin) * s, (r.width() + 2 * margin) * s,
                      (r.height() + 2 * margin) * s)
            .toAlignedRect();
    }
    static int darkPixels(const QImage &image, const QRect &area)
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += qGray(image.pixel(x, y)) < 128;
        return n;
    }

private slots:
    void init() { QVERIFY(rig.setUp()); }
    void cleanup() { rig.tearDown(); }

    void theCodeSitsBesideTheFirstMark()
    {
        const GMarkItem low(pageMm, QMarginsF(10, 1.2, -10, -10), 4, 5.0);
        QCOMPARE(PageCodePainter::pageCodeRect(&low, 1), QRectF(14.5, 0.5, 16, 2));
        QCOMPARE(PageCodePainter::pageCodeRect(&low, 2), QRectF(14.5, 0.5, 6, 6));
        const GMarkItem high(pageMm, QMarginsF(8, 10, -10, -10), 4, 4.0);
        QCOMPARE(PageCodePainter::pageCodeRect(&high, 1), QRectF(12, 9, 16, 2));
        QCOMPARE(PageCodePainter::pageCodeRect(&high, 2), QRectF(12, 7, 6, 6));
        QVERIFY(PageCodePainter::pageCodeRect(&high, 3).isEmpty());
        QVERIFY(PageCodePainter::pageCodeRect(nullptr, 2).isEmpty());
        QCOMPARE(PageCodePainter::codeText(47), QStringLiteral("0000002f"));
        QCOMPARE(PageCodePainter::codeText(0xdeadbeef), QStringLiteral("deadbeef"));
        QrPainter qr;
        qr.setText(QStringLiteral("0000002f"));
        QCOMPARE(qr.symbol().size(), QSize(33, 33)); // version 4, one pixel a module
    }

    void aQrCodeOnThePageReadsBackAsItsRecord()
    {
        const QString file = setUpPage(2);
        rig.status = 1;
        const QImage page = printOnePage(file);
        QVERIFY(!page.isNull());
        const QRectF rect = PageCodePainter::pageCodeRect(rig.file->printScene()->page()->markItem(), 2);
        QrPageCodeReader reader;
        // The reader cleans specks of 2 px: it is given the code at twice
        // the print resolution, about as the mark camera sees it.
        const QImage seen = page.copy(pixels(rect, 3.0));
        const PageCodeRead read = reader.read(seen.scaled(seen.size() * 2));
        QVERIFY2(read.code != 0, qPrintable(read.text));
        QCOMPARE(read.text, PageCodePainter::codeText(read.code));
        // Nothing drawn outside the rectangle but the page itself.
        QCOMPARE(darkPixels(page, pixels(QRectF(40, 2, 20, 10), 0)), 0);
        TaskRecord task;
        QVERIFY(rig.config().db().findTaskRecordByCode(read.code, task));
        QCOMPARE(task.printCopies, 1u);
        QCOMPARE(task.dataIndex, -1);
        QCOMPARE(task.workRecordTimestamp, rig.records->printWorkRecord().timestamp);
        QCOMPARE(rig.records->printWorkRecord().printCnt, 1u);
    }

    // At 300 dpi a 6 mm symbol has about 2.1 pixels a module: every module
    // gets the same whole number of pixels (uneven ones often did not read
    // back through the mark camera), centred in the rectangle.
    void qrModulesAreWholePixelsOfOneWidth()
    {
        QrPainter qr;
        qr.setText(PageCodePainter::codeText(0x2f));
        QImage page(1181, 945, QImage::Format_RGB32); // 100 x 80 mm at 300 dpi
        page.fill(Qt::white);
        const double s = page.width() / 100.0;
        const QRectF rect(7.0 * s, 0.5 * s, 6.0 * s, 6.0 * s);
        {
            QPainter painter(&page);
            QVERIFY(qr.render(painter, rect));
        }
        QRect inked;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    inked |= QRect(x, y, 1, 1);
        // 33 modules of 2 pixels, centred in the 70.9 pixel rectangle.
        QCOMPARE(inked.size(), QSize(66, 66));
        QVERIFY(qAbs(QRectF(inked).center().x() - rect.center().x()) <= 1.0);
        QVERIFY(qAbs(QRectF(inked).center().y() - rect.center().y()) <= 1.0);
        // The finder pattern's row through its middle: runs of 2, 2, 6, 2, 2.
        const int y = inked.top() + 3 * 2 + 1;
        QList<int> runs;
        int run = 0;
        bool dark = true;
        for (int x = inked.left(); x < inked.left() + 7 * 2 + 1; ++x) {
            const bool d = qGray(page.pixel(x, y)) < 128;
            if (d == dark) {
                ++run;
            } else {
                runs << run;
                run = 1;
                dark = d;
            }
        }
        QCOMPARE(runs, (QList<int>{2, 2, 6, 2, 2}));
    }

    void aTextCodeIsInkedInItsRectangle()
    {
        const QString file = setUpPage(1);
        const QImage page = printOnePage(file);
        QVERIFY(!page.isNull());
        const QRectF rect = PageCodePainter::pageCodeRect(rig.file->printScene()->page()->markItem(), 1);
        QVERIFY(darkPixels(page, pixels(rect, 0.3)) > 40);
        QCOMPARE(darkPixels(page, pixels(QRectF(40, 20, 20, 4), 0)), 0);
        // A test print outside a job: a work record of its own, with this page.
        TaskRecord task;
        QVERIFY(rig.config().db().findTaskRecordByCode(1, task));
        WorkRecord work;
        QVERIFY(rig.config().db().findWorkRecordByTimestamp(task.workRecordTimestamp, work));
        QCOMPARE(work.printCnt, 1u);
        QVERIFY(task.workRecordTimestamp != rig.records->printWorkRecord().timestamp);
    }

    void markerTypesWithoutADrawing()
    {
        const QString file = setUpPage(0);
        const QImage plain = printOnePage(file);
        QVERIFY(!plain.isNull());
        TaskRecord task;
        QVERIFY(!rig.config().db().findTaskRecordByCode(1, task)); // no code taken
        rig.set(Config::CPT_Enable_Print_Marker_Type, 3);
        const QImage typeThree = printOnePage(file);
        QCOMPARE(typeThree, plain);
        QVERIFY(rig.config().db().findTaskRecordByCode(1, task)); // recorded all the same
        QCOMPARE(rig.config().db().nextCode(), 2u);
    }

    void pagesOfOneMillisecondKeepBothRecords()
    {
        rig.set(Config::CPT_Enable_Print_Marker_Type, 2);
        rig.status = 1;
        QList<quint32> codes;
        for (int i = 0; i < 20; ++i) {
            const quint32 code = rig.records->takePageCode();
            rig.records->recordPrintedPage(code, 2, i);
            codes << code;
        }
        for (int i = 0; i < codes.size(); ++i) {
            TaskRecord task;
            QVERIFY(rig.config().db().findTaskRecordByCode(codes[i], task));
            QCOMPARE(task.dataIndex, i);
            QCOMPARE(task.printCopies, 2u);
        }
        QCOMPARE(rig.records->printWorkRecord().printCnt, 40u);
    }
};

QTEST_MAIN(TestPageCode)
#include "tst_page_code.moc"
