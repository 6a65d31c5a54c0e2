#include "platform/detector/label_layout.h"

#include "platform/detector/liner_line.h"

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

// Candidates whose residuals lie within this share of the label contrast
// of each other cannot be told apart.
constexpr double kTie = 0.004;
// A picture whose best match is weaker shows no page.
constexpr double kLeastMatch = 0.15;
// Candidates matching less than this share of the best are not pages.
constexpr double kPoorer = 0.5;
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

// The narrowest bare liner between two labels of the layout, pixels; the
// page's fiftieth when it has one label.
int narrowestGap(const LabelLayout &layout)
{
    int gap = layout.mask.rows + layout.mask.cols;
    for (const cv::Rect &a : layout.labels) {
        for (const cv::Rect &b : layout.labels) {
            const bool overlapX = a.x < b.x + b.width && b.x < a.x + a.width;
            const bool overlapY = a.y < b.y + b.height && b.y < a.y + a.height;
            if (overlapX && b.y >= a.y + a.height)
                gap = std::min(gap, b.y - (a.y + a.height));
            if (overlapY && b.x >= a.x + a.width)
                gap = std::min(gap, b.x - (a.x + a.width));
        }
    }
    return gap == layout.mask.rows + layout.mask.cols ? std::max(4, layout.mask.cols / 50) : std::max(1, gap);
}

// The strip with the prints on its labels filled in: ink is dark and small,
// a closing narrower than the bare liner between labels takes it away and
// leaves the liner, darker or brighter, as it is. Print wider than a
// fortieth of the page is rare; a wider closing only costs time.
cv::Mat withoutPrints(const cv::Mat &strip, const LabelLayout &layout)
{
    const int k = std::max(1, std::min(narrowestGap(layout) * 2 / 3, layout.mask.cols / 40)) | 1;
    if (k < 3)
        return strip;
    cv::Mat closed;
    cv::morphologyEx(strip, closed, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    return closed;
}

struct Candidate
{
    int y = 0;
    double score = 0.0;    // how well the page pattern matches
    double residual = 0.0; // how far the page's bare liner is from even
};

// Where the page's bare liner would lie at row sy of the scoring strip, how
// far its pixels stray from the liner's line across the web (mean absolute
// deviation); and the contrast between the labels and that liner. A missing
// label leaves the liner even; a page one row off puts labels where liner
// should be.
double linerResidual(const cv::Mat &strip, const cv::Mat &bare, const cv::Mat &labels, int sy, double *contrast)
{
    // Only the part of the page in view.
    const int rows = std::min(bare.rows, strip.rows - sy);
    const cv::Mat region = strip(cv::Rect(0, sy, strip.cols, rows));
    const cv::Mat where = bare.rowRange(0, rows);
    const LinerLine line = fitLinerLine(region, where, 0);
    size_t count = 0;
    const double residual = line.known ? linerDeviation(region, where, 0, line, &count) : 0.0;
    if (count < 16)
        return 1e9;
    if (contrast) {
        std::vector<uchar> onLabels;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < region.cols; ++x)
                if (labels.at<uchar>(y, x))
                    onLabels.push_back(region.at<uchar>(y, x));
        *contrast = 0.0;
        if (!onLabels.empty()) {
            std::nth_element(onLabels.begin(), onLabels.begin() + std::ptrdiff_t(onLabels.size() / 2), onLabels.end());
            *contrast = std::abs(double(onLabels[onLabels.size() / 2]) - line.at(region.cols / 2));
        }
    }
    return residual;
}

// The full-scale row near y (± reach) where the page pattern fits best;
// columns are thinned to the scoring width, rows kept whole.
int refineRow(const cv::Mat &strip, const cv::Mat &mask, int y, int reach)
{
    const int y0 = std::max(0, y - reach);
    const int y1 = std::min(strip.rows - mask.rows, y + reach);
    if (y1 < y0)
        return y;
    const cv::Mat band = strip(cv::Rect(0, y0, strip.cols, y1 - y0 + mask.rows));
    const int cols = std::min(strip.cols, kScoreColumns);
    cv::Mat thinBand, thinMask, fit;
    cv::resize(band, thinBand, cv::Size(cols, band.rows), 0, 0, cv::INTER_AREA);
    cv::resize(mask, thinMask, cv::Size(cols, mask.rows), 0, 0, cv::INTER_AREA);
    cv::matchTemplate(thinBand, thinMask, fit, cv::TM_CCOEFF_NORMED);
    cv::patchNaNs(fit, 0.0);
    fit = cv::abs(fit);
    cv::Point at;
    cv::minMaxLoc(fit, nullptr, nullptr, nullptr, &at);
    return y0 + at.y;
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
    // must then lie in the view's first quarter. A page that fits may run
    // off the view's far end by a quarter: its labels in view are checked.
    const bool fits = layout.mask.rows <= grey.rows;
    const int pageRows = fits ? layout.mask.rows : grey.rows * 3 / 4;
    if (pageRows < 8)
        return -1;
    const cv::Mat page = layout.mask.rowRange(0, pageRows);
    const cv::Mat mask = fits ? page.rowRange(0, pageRows * 3 / 4) : page;
    const cv::Mat strip = withoutPrints(grey(cv::Rect(first, 0, mask.cols, grey.rows)), layout);
    const double reduce = std::min(1.0, double(kMatchColumns) / double(mask.cols));
    cv::Mat smallStrip, smallMask;
    cv::resize(strip, smallStrip, cv::Size(), reduce, reduce, cv::INTER_AREA);
    cv::resize(mask, smallMask, cv::Size(smallStrip.cols, std::max(1, int(std::lround(mask.rows * reduce)))), 0, 0,
               cv::INTER_AREA);
    if (smallMask.rows > smallStrip.rows)
        return -1;

    cv::Mat result;
    cv::matchTemplate(smallStrip, smallMask, result, cv::TM_CCOEFF_NORMED);
    // Labels may be lighter or darker than the liner: the pattern's strength
    // counts, not its sign.
    cv::Mat strength = cv::abs(result);
    double best = 0.0;
    cv::minMaxLoc(strength, nullptr, &best);
    if (best < kLeastMatch)
        return -1;

    // Candidates: the coarse peaks, the rows one or two label rows from
    // them (a regular grid fits there nearly as well) and the expected grid.
    const int lastStart = grey.rows - mask.rows;
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

    // Each placed and scored on the whole page pattern at a middle scale;
    // only the one chosen is placed to the pixel.
    const int reach = int(std::ceil(1.0 / reduce)) + 2;
    const double scoreReduce = std::min(1.0, double(kScoreColumns) / double(mask.cols));
    cv::Mat scoreStrip, scoreMask;
    cv::resize(strip, scoreStrip, cv::Size(), scoreReduce, scoreReduce, cv::INTER_AREA);
    cv::resize(mask, scoreMask, cv::Size(scoreStrip.cols, std::max(1, int(std::lround(mask.rows * scoreReduce)))), 0,
               0, cv::INTER_AREA);
    const int lastScoreRow = scoreStrip.rows - scoreMask.rows;
    if (lastScoreRow < 0)
        return -1;
    // The whole page's bare liner and its labels, each kept off the other's
    // edge.
    cv::Mat scorePage, bare, labels;
    cv::resize(page, scorePage, cv::Size(scoreStrip.cols, std::max(1, int(std::lround(page.rows * scoreReduce)))), 0, 0,
               cv::INTER_AREA);
    const cv::Mat edge = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::erode(scorePage < 64, bare, edge);
    cv::erode(scorePage > 192, labels, edge);
    std::vector<Candidate> candidates;
    for (int place : places) {
        const int from = std::max(0, int(std::floor((place - reach) * scoreReduce)));
        const int to = std::min(lastScoreRow, int(std::ceil((place + reach) * scoreReduce)));
        if (to < from)
            continue;
        cv::Mat fit;
        cv::matchTemplate(scoreStrip(cv::Rect(0, from, scoreStrip.cols, to - from + scoreMask.rows)), scoreMask, fit,
                          cv::TM_CCOEFF_NORMED);
        cv::patchNaNs(fit, 0.0);
        fit = cv::abs(fit);
        double v = 0.0;
        cv::Point at;
        cv::minMaxLoc(fit, nullptr, &v, nullptr, &at);
        // A best at the window's edge is a slope, not a place.
        if ((at.y == 0 && from > 0) || (at.y == fit.rows - 1 && to < lastScoreRow))
            continue;
        const int y = int(std::lround((from + at.y) / scoreReduce));
        // The whole page must lie in the picture, below its first row.
        if (y < 0 || y > lastStart + 1)
            continue;
        if (std::any_of(candidates.begin(), candidates.end(),
                        [y, scoreReduce](const Candidate &c) { return std::abs(c.y - y) * scoreReduce < 1.5; }))
            continue;
        // The least residual next to the matched row: the scoring scale is
        // coarser than a row.
        double residual = 1e9;
        for (int sy = std::max(0, from + at.y - 1); sy <= std::min(lastScoreRow, from + at.y + 1); ++sy)
            residual = std::min(residual, linerResidual(scoreStrip, bare, labels, sy, nullptr));
        candidates.push_back({y, v, residual});
    }
    if (candidates.empty())
        return -1;
    std::sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) { return a.y < b.y; });
    double top = 0.0;
    const Candidate *least = &candidates.front();
    for (const Candidate &c : candidates) {
        top = std::max(top, c.score);
        if (c.residual < least->residual)
            least = &c;
    }
    if (score)
        *score = top;
    double contrast = 0.0;
    linerResidual(scoreStrip, bare, labels, std::min(lastScoreRow, int(std::lround(least->y * scoreReduce))), &contrast);
    const double tie = std::max(0.3, kTie * contrast);
    const int step = int(std::ceil(1.0 / scoreReduce)) + 1;
    auto placed = [&](const Candidate &c) {
        const int y = refineRow(strip, mask, std::clamp(c.y, 0, lastStart), step);
        return y >= 1 && y <= lastStart ? y : -1;
    };

    // The topmost page that no overlapping place fits as well (least
    // residual); a place another fits clearly better is a shifted copy of
    // that one. Two that fit alike are told apart by the page grid the
    // previous page left, when there is one; else the page is ambiguous.
    // Whole pages first; a page the view cuts off only when no whole one is
    // placed, as its cut part may fit one row off as well.
    const int overlap = page.rows * 19 / 20;
    const double tolerance = std::max(3.0, std::min(0.3 * rowPitch, 0.1 * expect.pitch));
    auto onGrid = [&](const Candidate &c) { return expect.known() && distanceToGrid(c.y, expect) <= tolerance; };
    auto isWhole = [&](const Candidate &c) { return c.y + page.rows <= grey.rows; };
    auto choose = [&](bool wholeOnly) {
        // A page the view cuts off matches on fewer labels, so its score
        // may stand far above a whole page's whose labels carry heavy print
        // (a wide barcode): whole pages are measured against each other.
        double best = 0.0;
        for (const Candidate &c : candidates)
            if (!wholeOnly || isWhole(c))
                best = std::max(best, c.score);
        bool ambiguous = false;
        for (const Candidate &c : candidates) {
            if (c.score < best * kPoorer || (wholeOnly && !isWhole(c)))
                continue;
            bool beaten = false, tied = false;
            for (const Candidate &o : candidates) {
                if (&o == &c || std::abs(o.y - c.y) >= overlap || o.score < best * kPoorer)
                    continue;
                // A cut page's residual covers less: it beats a whole one
                // only by far, and never ties it.
                if (wholeOnly && !isWhole(o)) {
                    beaten = beaten || o.residual < c.residual * 0.5 - tie;
                    continue;
                }
                beaten = beaten || o.residual < c.residual - tie;
                tied = tied || std::abs(o.residual - c.residual) <= tie;
            }
            if (beaten)
                continue;
            if (!tied || onGrid(c))
                return placed(c);
            // Its equal may lie on the grid further down.
            ambiguous = true;
            if (!expect.known())
                break;
        }
        return ambiguous ? kAmbiguousPageStart : -1;
    };
    const int whole = choose(true);
    if (whole >= 0 || !fits)
        return whole;
    const int any = choose(false);
    return any >= 0 ? any : whole;
}
