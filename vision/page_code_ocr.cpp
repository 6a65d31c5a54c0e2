#include "vision/page_code_ocr.h"

#include "platform/ocr/ocr_lite.h"

#include <QDebug>
#include <QElapsedTimer>

#include <opencv2/imgproc.hpp>

namespace {

cv::Mat toBgrMat(const QImage &img)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()), size_t(rgb.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(view, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

} // namespace

const char *const kPageCodeChars = "0123456789abcdefABCDEF";

bool parseOcrPageCode(const QString &text, quint32 *code)
{
    QString digits;
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        if (c == QLatin1Char('o') || c == QLatin1Char('O'))
            c = QLatin1Char('0');
        digits.append(c);
    }
    if (digits.size() != 8)
        return false;
    bool ok = false;
    const quint32 value = digits.toUInt(&ok, 16);
    // toUInt accepts a "0x" prefix; a printed code has none.
    if (!ok || digits.contains(QLatin1Char('x'), Qt::CaseInsensitive))
        return false;
    *code = value;
    return true;
}

QList<PageCodeLine> readPageCodeLines(OcrLite &ocr, const QImage &img)
{
    QList<PageCodeLine> lines;
    if (img.isNull())
        return lines;
    const OcrResult result = ocr.detect(toBgrMat(img), 20, 600, 0.8f, 0.8f, 1.5f, true, true, kPageCodeChars);
    for (const TextBlock &block : result.textBlocks) {
        PageCodeLine line;
        line.text = QString::fromStdString(block.text);
        line.score = block.score;
        for (const cv::Point &p : block.boxPoint)
            line.box.append(QPointF(p.x, p.y));
        lines.append(line);
    }
    return lines;
}

PageCodeReading readPageCodeByOcr(OcrLite &ocr, const QImage &img, double scale)
{
    QElapsedTimer clock;
    clock.start();
    PageCodeReading reading;
    bool haveCode = false;
    for (const PageCodeLine &line : readPageCodeLines(ocr, img)) {
        qInfo() << "SpoolsmithApp::scanOCR" << "Text: " << line.text << ", Confidence: " << line.score;
        quint32 code = 0;
        const bool isCode = parseOcrPageCode(line.text, &code);
        if (haveCode && !isCode)
            continue; // a stray line after the code must not hide it
        haveCode = haveCode || isCode;
        reading.text = line.text;
        reading.score = line.score;
        reading.code = isCode ? code : 0;
        reading.points.clear();
        for (const QPointF &p : line.box)
            reading.points.append(p * scale);
        qInfo() << "SpoolsmithApp::scanOCR" << "Text: " << reading.points;
    }
    qInfo() << "SpoolsmithApp::scanOCR" << clock.elapsed() << "ms.";
    return reading;
}
