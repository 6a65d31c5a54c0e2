#include "app/inspection/label_report.h"

#include <QDebug>
#include <QFile>
#include <QLocale>
#include <QTextCodec>

namespace {

int segmentIndex(const QList<QPair<double, double>> &segments, double v)
{
    for (int i = 0; i < segments.size(); ++i)
        if (segments.at(i).first < v && v < segments.at(i).second)
            return i + 1;
    return 0;
}

QString chopLineEnds(QString s)
{
    while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}

// A CSV field: embedded quotes doubled, the whole enclosed in quotes.
QString quoted(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString rectText(int x, int y, int w, int h)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(x).arg(y).arg(w).arg(h);
}

} // namespace

QString labelReportLine(const LabelReportInput &in)
{
    int lost = 0, checked = 0, bars = 0, qrs = 0, texts = 0;
    QString lostText, checkText;
    for (const DetectedLabel &r : in.labels) {
        // The label's middle decides its cell: its corner lies on the cell's
        // border and would fall either side of it by a pixel.
        const int row = segmentIndex(in.rows, (r.y + r.h * 0.5 - in.segmentX) * in.scale);
        const int col = segmentIndex(in.cols, (r.x + r.w * 0.5 - in.paperTop) * in.scale);
        const QString position = QStringLiteral("%1, %2").arg(row).arg(col) + rectText(r.x, r.y, r.w, r.h);
        if (r.kind == DetectedLabel::Lost) {
            ++lost;
            lostText += QStringLiteral("LOST%1、%2\n").arg(lost).arg(position);
            continue;
        }
        QString entry;
        for (const CodeResult &c : r.barcodes)
            entry += QStringLiteral("BAR%1、type %2, code %3 %4\n")
                         .arg(++bars)
                         .arg(QString::fromStdString(c.type), QString::fromStdString(c.code), rectText(c.x, c.y, c.w, c.h));
        for (const CodeResult &c : r.qrCodes)
            entry += QStringLiteral("QR%1、type %2, code %3 %4\n")
                         .arg(++qrs)
                         .arg(QString::fromStdString(c.type), QString::fromStdString(c.code), rectText(c.x, c.y, c.w, c.h));
        for (const TextResult &t : r.texts) {
            const QString at = t.points.empty()
                                   ? QString()
                                   : QStringLiteral("(%1, %2)").arg(t.points.front().first).arg(t.points.front().second);
            entry += QStringLiteral("OCR%1、%2, confidence %3, %4\n")
                         .arg(++texts)
                         .arg(QString::fromStdString(t.text),
                              QString::number(t.confidence, 'g', QLocale::FloatingPointShortest), at);
        }
        ++checked;
        checkText += QStringLiteral("CHECK%1 %2:\n%3\n\n").arg(checked).arg(position, chopLineEnds(entry));
    }
    checkText = chopLineEnds(checkText);
    if (!lostText.isEmpty())
        lostText = quoted(lostText.left(lostText.size() - 1));
    if (!checkText.isEmpty())
        checkText = quoted(checkText);
    QString summary = QStringLiteral("lost: %1, check: %2").arg(lost).arg(checked);
    if (in.barcode && bars > 0)
        summary += QStringLiteral(", BAR: %1").arg(bars);
    if (in.qr && qrs > 0)
        summary += QStringLiteral(", QR: %1").arg(qrs);
    if (in.ocr && texts >= 1)
        summary += QStringLiteral(", OCR: %1").arg(texts);
    return QStringLiteral("%1,%2,%3,%4\n")
        .arg(in.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), quoted(summary), lostText, checkText);
}

bool appendLabelReport(const QString &path, const QString &line)
{
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        qCritical() << "SpoolsmithApp::writeLabelReport" << "cannot open" << path << file.errorString();
        return false;
    }
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    QByteArray bytes;
    if (gbk) {
        QTextCodec::ConverterState state;
        bytes = gbk->fromUnicode(line.constData(), int(line.size()), &state);
        if (state.invalidChars > 0)
            qWarning() << "SpoolsmithApp::writeLabelReport" << state.invalidChars
                       << "characters GBK cannot write, replaced:" << line;
    } else {
        qCritical() << "SpoolsmithApp::writeLabelReport" << "no GBK codec; written as UTF-8";
        bytes = line.toUtf8();
    }
    const bool ok = file.write(bytes) == bytes.size();
    if (!ok)
        qCritical() << "SpoolsmithApp::writeLabelReport" << "cannot write" << path << file.errorString();
    return ok;
}
