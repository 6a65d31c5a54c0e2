#include "platform/detector/label_layout.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {
// The matching runs on pictures reduced to about this many columns: the
// page pattern is coarse, and the result is refined at full scale.
constexpr int kMatchColumns = 192;
} // namespace

LabelLayout labelLayout(const cv::Mat &templ, double factor)
{
    LabelLayout layout;
    if (templ.empty() || factor <= 0.0)
        return layout;
    cv::Mat grey;
    if (templ.channels() == 3)
        cv::cvtColor(templ, grey, cv::COLOR_BGR2GRAY);
    else if (templ.channels() == 4)
        cv::cvtColor(templ, grey, cv::COLOR_BGRA2GRAY);
    else
        grey = templ;
    const cv::Size size(std::max(1, int(std::lround(templ.cols * factor))),
                        std::max(1, int(std::lround(templ.rows * factor))));
    cv::Mat scaled;
    cv::resize(grey, scaled, size, 0, 0, factor < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::threshold(scaled, layout.mask, 127, 255, cv::THRESH_BINARY_INV);

    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(layout.mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    for (const auto &c : contours) {
        const cv::Rect r = cv::boundingRect(c);
        if (r.width >= 3 && r.height >= 3)
            layout.labels.push_back(r);
    }
    // Along the web first (rows of labels), then across it; labels of one
    // row may start a few pixels apart. Rows are formed first, so the order
    // is a true ordering whatever the spread.
    const int tolerance = std::max(2, size.height / 200);
    std::sort(layout.labels.begin(), layout.labels.end(),
              [](const cv::Rect &a, const cv::Rect &b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    auto rowStart = layout.labels.begin();
    while (rowStart != layout.labels.end()) {
        const int top = rowStart->y;
        auto rowEnd = std::find_if(rowStart, layout.labels.end(),
                                   [top, tolerance](const cv::Rect &r) { return r.y - top > tolerance; });
        std::sort(rowStart, rowEnd, [](const cv::Rect &a, const cv::Rect &b) { return a.x < b.x; });
        rowStart = rowEnd;
    }
    return layout;
}

namespace {

// Candidates fitting within this of each other (normalised correlation)
// cannot be told apart.
constexpr double kTie = 0.01;
// Candidates this far below the best are not pages.
constexpr double kPoorer = 0.1;
// The scoring runs on pictures reduced to about this many columns.
constexpr int kScoreColumns = 400;

// The distance along the web between label rows of the layout; the whole
// page when it has one row.
int rowPitchOf(const LabelLayout &layout)
{
    std::vector<int> tops;
    for (const cv::Rect &r : layout.labels)
        tops.push_back(r.y);
    std::sort(tops.begin(), tops.end());
    int pitch = layout.mask.rows;
    const int tolerance = std::max(2, layout.mask.rows / 200);
    for (size_t i = 1; i < tops.size(); ++i)
        if (tops[i] - tops[i - 1] > tolerance)
            pitch = std::min(pitch, tops[i] - tops[i - 1]);
    return pitch;
}

struct Candidate
{
    int y = 0;
    double score = 0.0;
};

// The full-scale row where the band of rows around y (± reach) fits the
// mask's row profile best.
int refineRow(const cv::Mat &strip, const cv::Mat &mask, int y, int reach)
{
    const int y0 = std::max(0, y - reach);
    const int y1 = std::min(strip.rows - mask.rows, y + reach);
    if (y1 < y0)
        return y;
    cv::Mat bandRows, maskRows, fine;
    cv::reduce(strip(cv::Rect(0, y0, strip.cols, y1 - y0 + mask.rows)), bandRows, 1, cv::REDUCE_AVG, CV_32F);
    cv::reduce(mask, maskRows, 1, cv::REDUCE_AVG, CV_32F);
    cv::matchTemplate(bandRows, maskRows, fine, cv::TM_CCOEFF_NORMED);
    cv::patchNaNs(fine, 0.0);
    fine = cv::abs(fine);
    cv::Point at;
    double fineBest = 0.0;
    cv::minMaxLoc(fine, nullptr, &fineBest, nullptr, &at);
    // A band without structure along the web (one long label) keeps y.
    return fineBest < 0.3 ? y : y0 + at.y;
}

double distanceToGrid(double y, const PageExpectation &expect)
{
    const double off = std::fmod(y - expect.start, expect.pitch);
    const double a = std::abs(off);
    return std::min(a, expect.pitch - a);
}

} // namespace

int matchPageStart(const cv::Mat &grey, int first, const LabelLayout &layout, const PageExpectation &expect,
                   double *score)
{
    if (score)
        *score = 0.0;
    if (layout.mask.empty() || grey.empty() || first < 0 || first + layout.mask.cols > grey.cols)
        return -1;
    // A page longer than the view is placed by its leading part: the start
    // must then lie in the view's first quarter.
    const int pageRows = layout.mask.rows <= grey.rows ? layout.mask.rows : grey.rows * 3 / 4;
    if (pageRows < 8)
        return -1;
    const cv::Mat mask = layout.mask.rowRange(0, pageRows);
    const cv::Mat strip = grey(cv::Rect(first, 0, mask.cols, grey.rows));
    const double reduce = std::min(1.0, double(kMatchColumns) / double(mask.cols));
    cv::Mat smallStrip, smallMask;
    cv::resize(strip, smallStrip, cv::Size(), reduce, reduce, cv::INTER_AREA);
    cv::resize(mask, smallMask, cv::Size(smallStrip.cols, std::max(1, int(std::lround(mask.rows * reduce)))), 0, 0,
               cv::INTER_AREA);
    if (smallMask.rows > smallStrip.rows)
        return -1;
    // Prints on the labels are noise to the page pattern: blur them away.
    const int k = std::max(1, smallStrip.cols / 64) * 2 + 1;
    cv::GaussianBlur(smallStrip, smallStrip, cv::Size(k, k), 0);

    cv::Mat result;
    cv::matchTemplate(smallStrip, smallMask, result, cv::TM_CCOEFF_NORMED);
    // Labels may be lighter or darker than the liner: the pattern's strength
    // counts, not its sign.
    cv::Mat strength = cv::abs(result);
    double best = 0.0;
    cv::minMaxLoc(strength, nullptr, &best);
    if (best < 0.3)
        return -1;

    // Candidates: the coarse peaks, the rows one or two label rows from
    // them (a regular grid fits there nearly as well) and the expected grid.
    const int lastStart = grey.rows - pageRows;
    const int rowPitch = rowPitchOf(layout);
    std::vector<int> places;
    for (int y = 0; y < strength.rows; ++y) {
        const float v = strength.at<float>(y, 0);
        const bool peak = (y == 0 || v >= strength.at<float>(y - 1, 0))
                          && (y + 1 == strength.rows || v >= strength.at<float>(y + 1, 0));
        if (!peak || v < 0.5 * best)
            continue;
        const int at = int(std::lround(y / reduce));
        for (int r = -2; r <= 2; ++r)
            if (rowPitch < pageRows || r == 0)
                places.push_back(at + r * rowPitch);
    }
    if (expect.known())
        for (double y = expect.start - std::floor(expect.start / expect.pitch) * expect.pitch; y <= lastStart;
             y += expect.pitch)
            places.push_back(int(std::lround(y)));

    // Each refined at full scale, then scored on the whole page pattern.
    const int reach = int(std::ceil(1.0 / reduce)) + 2;
    const double scoreReduce = std::min(1.0, double(kScoreColumns) / double(mask.cols));
    cv::Mat scoreStrip, scoreMask;
    cv::resize(strip, scoreStrip, cv::Size(), scoreReduce, scoreReduce, cv::INTER_AREA);
    cv::resize(mask, scoreMask, cv::Size(scoreStrip.cols, std::max(1, int(std::lround(mask.rows * scoreReduce)))), 0,
               0, cv::INTER_AREA);
    std::vector<Candidate> candidates;
    for (int place : places) {
        if (place < -reach || place > lastStart + reach)
            continue;
        const int y = refineRow(strip, mask, std::clamp(place, 0, std::max(0, lastStart)), reach);
        // The whole page must lie in the picture, below its first row.
        if (y < 1 || y > lastStart)
            continue;
        if (std::any_of(candidates.begin(), candidates.end(), [y](const Candidate &c) { return std::abs(c.y - y) <= 2; }))
            continue;
        const int sy = std::min(int(std::lround(y * scoreReduce)), scoreStrip.rows - scoreMask.rows);
        if (sy < 0)
            continue;
        cv::Mat fit;
        cv::matchTemplate(scoreStrip(cv::Rect(0, sy, scoreStrip.cols, scoreMask.rows)), scoreMask, fit,
                          cv::TM_CCOEFF_NORMED);
        const double v = std::abs(double(fit.at<float>(0, 0)));
        candidates.push_back({y, std::isfinite(v) ? v : 0.0});
    }
    if (candidates.empty())
        return -1;
    std::sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) { return a.y < b.y; });
    double top = 0.0;
    for (const Candidate &c : candidates)
        top = std::max(top, c.score);
    if (score)
        *score = top;

    // On the grid the previous page left: the topmost such page.
    if (expect.known()) {
        const double tolerance = std::max(3.0, std::min(0.3 * rowPitch, 0.1 * expect.pitch));
        for (const Candidate &c : candidates)
            if (c.score >= top - kPoorer && distanceToGrid(c.y, expect) <= tolerance)
                return c.y;
    }
    // Else the topmost page that no overlapping place fits as well; a
    // place another fits clearly better is a shifted copy of that one.
    const int overlap = pageRows * 19 / 20;
    for (const Candidate &c : candidates) {
        if (c.score < top - kPoorer)
            continue;
        bool beaten = false, tied = false;
        for (const Candidate &o : candidates) {
            if (&o == &c || std::abs(o.y - c.y) >= overlap)
                continue;
            beaten = beaten || o.score > c.score + kTie;
            tied = tied || std::abs(o.score - c.score) <= kTie;
        }
        if (beaten)
            continue;
        return tied ? kAmbiguousPageStart : c.y;
    }
    return -1;
}
