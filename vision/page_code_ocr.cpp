#include "vision/page_code_ocr.h"

#include "platform/ocr/ocr_lite.h"
#include "vision/mark_locate.h"
#include "vision/page_code.h"

#include <QDebug>
#include <QElapsedTimer>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <vector>

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

QList<PageCodeLine> readPageCodeLines(OcrLite &ocr, const QImage &img, double detectorScale)
{
    QList<PageCodeLine> lines;
    if (img.isNull())
        return lines;
    // Scaled down, the detector's time falls with its pixels; the lines it
    // finds are read at full size.
    const int padding = 20;
    const int longest = std::max(img.width(), img.height()) + 2 * padding;
    const int side = detectorScale < 1.0 ? std::min(600, std::max(32, int(longest * detectorScale))) : 600;
    const OcrResult result = ocr.detect(toBgrMat(img), padding, side, 0.8f, 0.8f, 1.5f, true, true, kPageCodeChars);
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

namespace {

struct Ink
{
    qint64 pixels = 0;
    QRect box; // rows and columns with ink, picture pixels
};

// Dark pixels against the strip's own paper level: below 70 % of its mean.
Ink inkIn(const QImage &picture, const QRect &strip)
{
    Ink ink;
    const QImage grey = picture.copy(strip).convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull())
        return ink;
    qint64 total = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            total += row[x];
    }
    const qint64 mean = total / (qint64(grey.width()) * grey.height());
    std::vector<int> rows(size_t(grey.height())), cols(size_t(grey.width()));
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (row[x] * 10 < mean * 7) {
                ++rows[size_t(y)];
                ++cols[size_t(x)];
                ++ink.pixels;
            }
    }
    // A row or column with a stray dark pixel or two is noise.
    auto span = [](const std::vector<int> &counts, int *from, int *to) {
        *from = -1;
        for (int i = 0; i < int(counts.size()); ++i)
            if (counts[size_t(i)] > 2) {
                if (*from < 0)
                    *from = i;
                *to = i;
            }
        return *from >= 0;
    };
    int top = 0, bottom = 0, left = 0, right = 0;
    if (span(rows, &top, &bottom) && span(cols, &left, &right))
        ink.box = QRect(strip.x() + left, strip.y() + top, right - left + 1, bottom - top + 1);
    return ink;
}

} // namespace

QRect pageCodeTextArea(const QImage &picture, const QPointF &markCentre, double markSize)
{
    const double mm = kMarkCameraPixelsPerMm;
    // Along the line: 1 mm before its start to 1.5 mm past its end; across
    // it: 3 mm either side of the centre (the line sits up to 2.5 mm off it
    // near the page's top edge, and the page may lie a little turned).
    const int nearEnd = int((markSize * 0.5 + 1.0) * mm);
    const int farEnd = int((markSize * 0.5 + 2.0 + 16.0 + 1.5) * mm);
    const int across = int(3.0 * mm);
    const int cx = int(markCentre.x()), cy = int(markCentre.y());
    const QRect strips[] = {
        QRect(QPoint(cx + nearEnd, cy - across), QPoint(cx + farEnd, cy + across)), // right
        QRect(QPoint(cx - across, cy + nearEnd), QPoint(cx + across, cy + farEnd)), // below
        QRect(QPoint(cx - farEnd, cy - across), QPoint(cx - nearEnd, cy + across)), // left
        QRect(QPoint(cx - across, cy - farEnd), QPoint(cx + across, cy - nearEnd)), // above
    };
    // A line of eight digits inks well over 1 % of its strip.
    const qint64 least = qint64(farEnd - nearEnd) * 2 * across / 100;
    Ink best;
    for (const QRect &strip : strips) {
        const QRect inside = strip.intersected(picture.rect());
        if (inside.isEmpty())
            continue;
        const Ink ink = inkIn(picture, inside);
        if (ink.pixels > best.pixels)
            best = ink;
    }
    if (best.pixels < least || best.box.isEmpty())
        return QRect();
    const int margin = int(0.5 * mm);
    return best.box.adjusted(-margin, -margin, margin, margin).intersected(picture.rect());
}

QList<PageCodeLine> readPageCodeBesideMark(const PageCodeLineReader &read, const QImage &img,
                                           const QPointF &markCentre, double markSize, int waitBoundMs)
{
    const QRect area = markCentre.isNull() ? QRect() : pageCodeTextArea(img, markCentre, markSize);
    if (!area.isEmpty()) {
        QElapsedTimer wait;
        wait.start();
        // The line alone is found as surely at half size, in a quarter of the
        // detector's time.
        QList<PageCodeLine> lines = read(img.copy(area).convertToFormat(QImage::Format_BGR888), 0.5);
        bool code = false;
        for (PageCodeLine &line : lines) {
            for (QPointF &p : line.box)
                p += area.topLeft();
            code = code || parsePageCode(line.text, nullptr);
        }
        if (code || wait.elapsed() >= waitBoundMs)
            return lines;
    }
    return read(img.convertToFormat(QImage::Format_BGR888), 1.0);
}
