// Direct printing through a real CUPS server into a cups-pdf queue: the
// pages arrive as one PDF of the print page's size. The server is the one
// run-tests.sh started, or one this test starts itself; either needs root.
#include "app/print/printers.h"
#include "tests/app/print_rig.h"
#include "tests/support/hang_bound.h"

#include <QDir>
#include <QPdfDocument>
#include <QProcess>
#include <QTest>

#include <unistd.h>

class TestPrintCups : public QObject
{
    Q_OBJECT
    PrintRig rig;
    QProcess m_service;
    QString m_out;

    // A PDF the queue wrote since before was listed, empty until then.
    QString newPdf(const QStringList &before) const
    {
        for (const QString &name : QDir(m_out).entryList(QDir::Files, QDir::Time | QDir::Reversed))
            if (!before.contains(name) && name.endsWith(QLatin1String(".pdf")))
                return QDir(m_out).filePath(name);
        return QString();
    }

private slots:
    void initTestCase()
    {
        QByteArray server = qgetenv("SPOOLSMITH_CUPS_SERVER");
        m_out = QString::fromLocal8Bit(qgetenv("SPOOLSMITH_CUPS_OUT"));
        if (server.isEmpty()) {
            if (geteuid() != 0)
                QSKIP("the cups-pdf backend runs only for root: no CUPS printing test");
            m_service.start(QStringLiteral("bash"), {QStringLiteral(SERVICE_CUPS)});
            QVERIFY(m_service.waitForStarted(kHangMs));
            QString line;
            QTRY_VERIFY_WITH_TIMEOUT((line += QString::fromLocal8Bit(m_service.readAllStandardOutput()))
                                         .contains(QLatin1Char('\n')) || m_service.state() == QProcess::NotRunning,
                                     kLongHangMs); // beyond the service's own bound
            const QStringList parts = line.trimmed().split(QLatin1Char(' '));
            if (parts.size() != 2 || !parts[0].startsWith(QLatin1String("CUPS_SERVER=127.0.0.1:")))
                QSKIP(qPrintable(QStringLiteral("no private CUPS server: ") + QString::fromLocal8Bit(m_service.readAllStandardError())));
            server = parts[0].section(QLatin1Char('='), 1).toLocal8Bit();
            m_out = parts[1].section(QLatin1Char('='), 1);
        }
        // Read by libcups at its first request.
        qputenv("CUPS_SERVER", server);
    }
    void cleanupTestCase()
    {
        if (m_service.state() != QProcess::NotRunning) {
            m_service.terminate();
            m_service.waitForFinished(kHangMs);
        }
    }
    void init()
    {
        QVERIFY(rig.setUp());
        printing::installSpooler(nullptr); // CUPS
    }
    void cleanup() { rig.tearDown(); }

    void pagesArriveAsOnePdfOfThePageSize()
    {
        const QSizeF pageMm(100, 50);
        const QString file = rig.writePdf(QStringLiteral("label.pdf"), pageMm);
        rig.usePrintFile(file, pageMm, QStringLiteral("Canon_PDF"));
        rig.set(Config::CPT_Wait_Print, true);
        rig.set(Config::CPT_printPagesOnce, 10);
        const QStringList before = QDir(m_out).entryList(QDir::Files);
        LogCapture log;
        QVERIFY(rig.batcher->printPdf(file, QStringLiteral("Canon_PDF"), 3));
        QCOMPARE(rig.counters->printCopies(), 3);
        QString produced;
        QTRY_VERIFY_WITH_TIMEOUT(!(produced = newPdf(before)).isEmpty(), kHangMs);
        QPdfDocument pdf;
        QTRY_VERIFY_WITH_TIMEOUT(pdf.load(produced) == QPdfDocument::Error::None, kHangMs);
        QCOMPARE(pdf.pageCount(), 3);
        const QSizeF points = pdf.pagePointSize(0);
        QVERIFY2(qAbs(points.width() - 100 / 25.4 * 72) < 2.0, qPrintable(QString::number(points.width())));
        QVERIFY2(qAbs(points.height() - 50 / 25.4 * 72) < 2.0, qPrintable(QString::number(points.height())));
        // The job was followed in the queue and its status logged.
        QCOMPARE(log.count(QStringLiteral("查询打印任务状态时间")), 1);
        QVERIFY(log.count(QStringLiteral("JOB_INFO_2A Status")) >= 1);
    }

    // The server's queue is offered by its maker's name, then the print
    // component.
    void printerListFromTheServer()
    {
        Printers printers(AppServices{});
        QCOMPARE(printers.printersName(), (QStringList{QStringLiteral("Canon_PDF"), QStringLiteral("CorelDRAW")}));
    }

    void aFailedPrintSendsNothing_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<bool>("drawable");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("message");
        QTest::newRow("an unknown queue") << "Canon_None" << true << "CreateDCA failed"
                                          << QStringLiteral("打印机无法打开，请检查打印机 \n");
        QTest::newRow("a page that cannot be drawn") << "Canon_PDF" << false << "page image failed"
                                                     << QStringLiteral("打印页面无法生成，请检查打印文件 \n");
    }
    // Nothing reaches the queue, not even a blank page; the operator is
    // told. The queue's next document is the only one it writes.
    void aFailedPrintSendsNothing()
    {
        QFETCH(QString, queue);
        QFETCH(bool, drawable);
        QFETCH(QString, logged);
        QFETCH(QString, message);
        const QString good = rig.writePdf(QStringLiteral("label.pdf"), QSizeF(100, 50));
        const QString file = drawable ? good : rig.fx.writeFile("broken.pdf", "not a PDF");
        rig.usePrintFile(file, QSizeF(100, 50), queue);
        const QStringList before = QDir(m_out).entryList(QDir::Files);
        LogCapture log;
        QVERIFY(!rig.batcher->printPdf(file, queue, 1));
        QCOMPARE(log.count(logged), 1);
        QCOMPARE(rig.counters->printCopies(), 0);
        QCOMPARE(rig.messages, QStringList{message});

        QVERIFY(rig.batcher->printPdf(good, QStringLiteral("Canon_PDF"), 1));
        QString produced;
        QTRY_VERIFY_WITH_TIMEOUT(!(produced = newPdf(before)).isEmpty(), kHangMs);
        QPdfDocument pdf;
        QTRY_VERIFY_WITH_TIMEOUT(pdf.load(produced) == QPdfDocument::Error::None, kHangMs);
        QCOMPARE(pdf.pageCount(), 1);
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), before.size() + 1);
    }
};

QTEST_MAIN(TestPrintCups)
#include "tst_print_cups.moc"
