#include "platform/detector/label_detector.h"

#include "platform/detector/code_reader.h"
#include "platform/detector/label_layout.h"
#include "platform/detector/liner_line.h"
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

// The liner's brightness and spread near one label, from the pixels of the
// page round it that no label covers (the mask's background, shrunk away
// from the label edges): light that falls off across the web makes the liner
// of one side darker than a label on the other.
struct Liner
{
    LinerLine line;
    double spread = 0.0;
    bool known = false;
    double at(int x) const { return line.at(x); }
};

class LinerMap
{
public:
    LinerMap(const cv::Mat &grey, const cv::Rect &page, const cv::Mat &mask)
        : m_grey(grey)
        , m_page(page)
    {
        cv::bitwise_not(mask, m_free);
        const int k = std::max(3, mask.cols / 150) | 1;
        cv::erode(m_free, m_free, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    }

    // Near the label (picture pixels); the whole page's liner when too
    // little of it lies near.
    Liner near(const cv::Rect &label) const
    {
        const int by = std::max(8, std::min(label.width, label.height) / 2);
        const Liner local = within(cv::Rect(label.x - by, label.y - by, label.width + 2 * by, label.height + 2 * by));
        return local.known ? local : within(m_page);
    }

private:
    Liner within(const cv::Rect &area) const
    {
        Liner liner;
        const cv::Rect inPicture = area & m_page & cv::Rect(0, 0, m_grey.cols, m_grey.rows);
        if (inPicture.empty())
            return liner;
        const cv::Rect inMask(inPicture.x - m_page.x, inPicture.y - m_page.y, inPicture.width, inPicture.height);
        // A web turned a little brings label edges into the liner the mask
        // promises: the spread is the median deviation from the line.
        const cv::Mat grey = m_grey(inPicture), free = m_free(inMask);
        liner.line = fitLinerLine(grey, free, inPicture.x);
        if (!liner.line.known)
            return liner;
        std::vector<float> deviations;
        for (int y = 0; y < grey.rows; ++y)
            for (int x = 0; x < grey.cols; ++x)
                if (free.at<uchar>(y, x))
                    deviations.push_back(float(std::abs(grey.at<uchar>(y, x) - liner.at(inPicture.x + x))));
        if (deviations.size() < 64)
            return liner;
        std::nth_element(deviations.begin(), deviations.begin() + std::ptrdiff_t(deviations.size() / 2),
                         deviations.end());
        liner.spread = 1.4826 * deviations[deviations.size() / 2];
        liner.known = true;
        return liner;
    }

    cv::Mat m_grey;
    cv::Rect m_page;
    cv::Mat m_free;
};

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
    const double tolerance = std::max(10.0, 3.0 * liner.spread);
    int near = 0;
    for (int x = inside.x; x < inside.x + inside.width; ++x) {
        const double level = liner.at(x);
        for (int y = inside.y; y < inside.y + inside.height; ++y)
            near += std::abs(grey.at<uchar>(y, x) - level) <= tolerance ? 1 : 0;
    }
    const double linerShare = double(near) / double(inside.area());
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

// A line box two-fifths ink or more is part of a code ZBar could not read,
// not text: print covers a fifth of a text line's box or so.
bool mostlyInk(const cv::Mat &bgr, const std::vector<cv::Point> &box)
{
    if (box.empty())
        return false;
    const cv::Rect r = cv::boundingRect(box) & cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (r.width < 2 || r.height < 2)
        return false;
    cv::Mat grey, ink;
    cv::cvtColor(bgr(r), grey, cv::COLOR_BGR2GRAY);
    cv::threshold(grey, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    return cv::countNonZero(ink) * 5 >= r.area() * 2;
}

// The grey picture turned so the paper runs straight down it, about the
// paper's middle at the picture's middle row (where the edges are measured,
// so they and the page start there stay where they are). The paper's tilt
// comes from its edges in the upper and the lower half. A page matched on a
// slanted web lands where its edges weigh most, a few pixels off.
cv::Mat upright(const cv::Mat &grey, int first, int last, double expectedWidth)
{
    const int half = grey.rows / 2;
    int f0 = 0, l0 = 0, f1 = 0, l1 = 0;
    const double width = expectedWidth > 0.0 ? expectedWidth : double(last - first);
    if (half < 32 || !findPaperEdges(grey.rowRange(0, half), &f0, &l0, width)
        || !findPaperEdges(grey.rowRange(half, grey.rows), &f1, &l1, width))
        return grey;
    // The two bands' middles lie half the picture apart.
    const double slope = ((f1 + l1) - (f0 + l0)) * 0.5 / double(half);
    const double degrees = std::atan(slope) * 180.0 / CV_PI;
    if (std::abs(degrees) < 0.05 || std::abs(degrees) > 3.0)
        return grey;
    const cv::Point2f middle(float((first + last) * 0.5), float(grey.rows * 0.5));
    cv::Mat turned;
    cv::warpAffine(grey, turned, cv::getRotationMatrix2D(middle, -degrees, 1.0), grey.size(), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
    return turned;
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

    grey = upright(grey, first, last, expect.paperWidth);

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
    const LinerMap liner(grey, page, layout.mask);
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
        label.kind = labelPresent(grey, r, liner.near(r)) ? DetectedLabel::Checked : DetectedLabel::Lost;
        if (label.kind == DetectedLabel::Checked) {
            const cv::Rect region = grown(r, 4, grey.size());
            FoundCodes codes = readCodes(grey, region, qr, barcode);
            label.qrCodes = std::move(codes.qr);
            label.barcodes = std::move(codes.bar);
            if (engine && picture.channels() == 3 && !region.empty()) {
                const cv::Mat text = withCodesMasked(picture, grey, region, label);
                const OcrResult read = engine->detect(text, 16, kOcrSide, 0.5f, 0.3f, 1.6f, false, false);
                for (const TextBlock &block : read.textBlocks) {
                    if (block.text.empty() || block.score < kTextFloor || mostlyInk(text, block.boxPoint))
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
