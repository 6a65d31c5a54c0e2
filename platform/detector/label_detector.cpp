#include "platform/detector/label_detector.h"

#include "platform/detector/code_reader.h"
#include "platform/detector/label_layout.h"
#include "platform/detector/paper_edges.h"
#include "platform/ocr/ocr_lite.h"
#include "platform/ocr/shared_ocr.h"

#include <opencv2/imgproc.hpp>

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// The text detector sees a label at most this many pixels long: label
// print is large at the check camera's scale, and the network's time grows
// with the area.
constexpr int kOcrSide = 960;
// Lines read with less confidence are not text but glyphs guessed into
// marks, edges or code remnants.
constexpr float kTextFloor = 0.5f;

// The liner's brightness and spread, from the pixels of the page that no
// label covers (the mask's background, shrunk away from the label edges).
struct Liner
{
    double level = 0.0;
    double spread = 0.0;
    bool known = false;
};

Liner linerOf(const cv::Mat &grey, const cv::Rect &page, const cv::Mat &mask)
{
    Liner liner;
    const cv::Rect inPicture = page & cv::Rect(0, 0, grey.cols, grey.rows);
    if (inPicture.empty())
        return liner;
    cv::Mat free;
    cv::bitwise_not(mask, free);
    const int k = std::max(3, mask.cols / 150) | 1;
    cv::erode(free, free, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    const cv::Rect inMask(inPicture.x - page.x, inPicture.y - page.y, inPicture.width, inPicture.height);
    cv::Scalar mean, dev;
    cv::meanStdDev(grey(inPicture), mean, dev, free(inMask));
    if (cv::countNonZero(free(inMask)) < 16)
        return liner;
    liner.level = mean[0];
    liner.spread = dev[0];
    liner.known = true;
    return liner;
}

// A label is lost when most of its inside looks like the liner; prints on a
// label (codes, text) are far from the liner's brightness, so they count as
// label.
bool labelPresent(const cv::Mat &grey, const cv::Rect &label, const Liner &liner)
{
    const cv::Rect inside = cv::Rect(label.x + label.width / 6, label.y + label.height / 6, label.width * 2 / 3,
                                     label.height * 2 / 3)
                            & cv::Rect(0, 0, grey.cols, grey.rows);
    if (inside.empty() || !liner.known)
        return false;
    const double tolerance = std::max(15.0, 3.0 * liner.spread);
    cv::Mat near;
    cv::inRange(grey(inside), cv::Scalar(liner.level - tolerance), cv::Scalar(liner.level + tolerance), near);
    const double linerShare = double(cv::countNonZero(near)) / double(inside.area());
    return linerShare < 0.6;
}

cv::Rect grown(const cv::Rect &r, int by, const cv::Size &bounds)
{
    return cv::Rect(r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by) & cv::Rect(cv::Point(0, 0), bounds);
}

// The label's region for OCR with its codes painted over in the label's own
// paper shade: their modules read as stray glyphs otherwise.
cv::Mat withCodesMasked(const cv::Mat &picture, const cv::Mat &grey, const cv::Rect &region,
                        const DetectedLabel &label)
{
    if (label.qrCodes.empty() && label.barcodes.empty())
        return picture(region);
    cv::Mat copy = picture(region).clone();
    // The paper: the commonest bright shade of the label.
    int histogram[256] = {};
    const cv::Mat g = grey(region);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.cols; ++x)
            ++histogram[g.at<uchar>(y, x)];
    int paper = 255;
    for (int v = 128, most = -1; v < 256; ++v)
        if (histogram[v] > most) {
            most = histogram[v];
            paper = v;
        }
    for (const auto *codes : {&label.qrCodes, &label.barcodes}) {
        for (const CodeResult &c : *codes) {
            // The quiet zone round a symbol goes too.
            const int by = std::max(4, std::max(c.w, c.h) / 8);
            const cv::Rect r = cv::Rect(c.x - region.x - by, c.y - region.y - by, c.w + 2 * by, c.h + 2 * by)
                               & cv::Rect(0, 0, copy.cols, copy.rows);
            copy(r).setTo(cv::Scalar(paper, paper, paper));
        }
    }
    return copy;
}

} // namespace

LabelDetector::LabelDetector() = default;
LabelDetector::~LabelDetector() = default;

std::string LabelDetector::ocrModelFolder(const std::string &modelPath)
{
    const QFileInfo path(QString::fromStdString(modelPath));
    if (path.isDir())
        return QDir(path.absoluteFilePath()).absolutePath().toStdString();
    const QDir near = path.absoluteDir();
    if (QFileInfo::exists(near.filePath(QStringLiteral("models/") + QLatin1String(sharedocr::kDetModel))))
        return near.filePath(QStringLiteral("models")).toStdString();
    return near.absolutePath().toStdString();
}

std::shared_ptr<OcrLite> LabelDetector::ocrEngine(const std::string &modelPath)
{
    std::shared_ptr<OcrLite> engine = sharedocr::engine(ocrModelFolder(modelPath));
    return engine->isReady() ? engine : nullptr;
}

ReadData LabelDetector::process(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                                const std::string &modelPath, const FrameExpectation &expect)
{
    if (picture.empty() || picture.depth() != CV_8U || (picture.channels() != 3 && picture.channels() != 1))
        throw std::invalid_argument("process_frame: the picture must be 8-bit BGR");
    ReadData data;
    cv::Mat grey;
    if (picture.channels() == 3)
        cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    else
        grey = picture;

    int first = 0, last = 0;
    if (!findPaperEdges(grey, &first, &last, expect.paperWidth))
        return data;
    data.first_edge = first;
    data.last_edge = last;
    if (templ.empty() || templ.cols < 2)
        return data;

    // The mask's width is the page width, which the paper spans.
    const double factor = double(last - first) / double(templ.cols);
    const LabelLayout layout = labelLayout(templ, factor);
    if (layout.labels.empty())
        return data;
    if (first + layout.mask.cols > grey.cols)
        return data;
    const int start = matchPageStart(grey, first, layout, expect.page);
    if (start == kAmbiguousPageStart) {
        qWarning() << "LabelDetector::process" << "page start ambiguous, two places fit alike; page not reported";
        return data;
    }
    if (start < 1)
        return data;
    data.segmentX = start;

    const cv::Rect page(first, start, layout.mask.cols, layout.mask.rows);
    const Liner liner = linerOf(grey, page, layout.mask);
    const std::shared_ptr<OcrLite> engine = ocr ? ocrEngine(modelPath) : nullptr;
    for (const cv::Rect &m : layout.labels) {
        // Labels the view cuts off are neither lost nor checked: the next
        // picture shows them.
        if (start + m.y + m.height > grey.rows)
            continue;
        DetectedLabel label;
        label.x = m.x + first;
        label.y = m.y + start;
        label.w = m.width;
        label.h = m.height;
        const cv::Rect r(label.x, label.y, label.w, label.h);
        label.kind = labelPresent(grey, r, liner) ? DetectedLabel::Checked : DetectedLabel::Lost;
        if (label.kind == DetectedLabel::Checked) {
            const cv::Rect region = grown(r, 4, grey.size());
            FoundCodes codes = readCodes(grey, region, qr, barcode);
            label.qrCodes = std::move(codes.qr);
            label.barcodes = std::move(codes.bar);
            if (engine && picture.channels() == 3 && !region.empty()) {
                const cv::Mat text = withCodesMasked(picture, grey, region, label);
                const OcrResult read = engine->detect(text, 16, kOcrSide, 0.5f, 0.3f, 1.6f, false, false);
                for (const TextBlock &block : read.textBlocks) {
                    if (block.text.empty() || block.score < kTextFloor)
                        continue;
                    TextResult t;
                    t.text = block.text;
                    t.confidence = block.score;
                    for (const cv::Point &p : block.boxPoint)
                        t.points.emplace_back(p.x + region.x, p.y + region.y);
                    label.texts.push_back(std::move(t));
                }
            }
        }
        data.labels.push_back(std::move(label));
    }
    return data;
}

ReadData process_frame(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                       const std::string &modelPath)
{
    static LabelDetector detector;
    return detector.process(picture, templ, ocr, qr, barcode, modelPath);
}
