// Dialog results as the file functions receive them.
#include "app/dialog_path.h"

#include <QUrl>
#include <QtTest>

class TstDialogPath : public QObject
{
    Q_OBJECT

private slots:
    void converts_data()
    {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("path");
        QTest::newRow("local file") << "file:///home/op/jobs/a.pdf" << "/home/op/jobs/a.pdf";
        QTest::newRow("escaped blank and hash") << "file:///tmp/a%20b%23c.plt" << "/tmp/a b#c.plt";
        QTest::newRow("chinese name") << QStringLiteral("file:///tmp/标签.pdf") << QStringLiteral("/tmp/标签.pdf");
#ifdef Q_OS_WIN
        QTest::newRow("drive") << "file:///C:/jobs/a.pdf" << "C:/jobs/a.pdf";
#else
        QTest::newRow("drive-like") << "file:///C:/jobs/a.pdf" << "/C:/jobs/a.pdf";
#endif
        // A share keeps its host instead of losing it to a relative path.
        QTest::newRow("network share") << "file://server/share/a.pdf" << "//server/share/a.pdf";
        QTest::newRow("resource") << "qrc:/Spoolsmith2024/Main.qml" << ":/Spoolsmith2024/Main.qml";
        QTest::newRow("plain path") << "/home/op/a.pdf" << "/home/op/a.pdf";
        QTest::newRow("drive path") << "C:/jobs/a.pdf" << "C:/jobs/a.pdf";
        QTest::newRow("web address") << "http://host/a.pdf" << "http://host/a.pdf";
        QTest::newRow("empty") << "" << "";
    }

    void converts()
    {
        QFETCH(QString, result);
        QFETCH(QString, path);
        QCOMPARE(dialogResultToPath(result), path);
    }

    void acceptsUrlValues()
    {
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/x y.tif"));
        QCOMPARE(dialogResultToPath(url, url.toString()), QStringLiteral("/tmp/x y.tif"));
    }
};

QTEST_GUILESS_MAIN(TstDialogPath)
#include "tst_dialog_path.moc"
