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

int matchPageStart(const cv::Mat &grey, int first, const LabelLayout &layout, double *score)
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
    // The first peak that is nearly as good as the best: the page nearest
    // the top of the picture.
    int coarse = -1;
    for (int y = 0; y < strength.rows; ++y) {
        const float v = strength.at<float>(y, 0);
        const bool peak = (y == 0 || v >= strength.at<float>(y - 1, 0))
                          && (y + 1 == strength.rows || v >= strength.at<float>(y + 1, 0));
        if (peak && v >= 0.9 * best) {
            coarse = y;
            break;
        }
    }
    if (coarse < 0)
        return -1;

    // Refine at full scale within the coarse step.
    const int step = int(std::ceil(1.0 / reduce)) + 1;
    const int y0 = std::max(0, int(std::lround(coarse / reduce)) - step);
    const int y1 = std::min(grey.rows - mask.rows, int(std::lround(coarse / reduce)) + step);
    if (y1 < y0)
        return -1;
    // Rows only: the column profile of a band is enough to place it.
    cv::Mat band = strip(cv::Rect(0, y0, strip.cols, y1 - y0 + mask.rows));
    cv::Mat bandRows, maskRows;
    cv::reduce(band, bandRows, 1, cv::REDUCE_AVG, CV_32F);
    cv::reduce(mask, maskRows, 1, cv::REDUCE_AVG, CV_32F);
    cv::Mat fine;
    cv::matchTemplate(bandRows, maskRows, fine, cv::TM_CCOEFF_NORMED);
    cv::patchNaNs(fine, 0.0);
    cv::Mat fineStrength = cv::abs(fine);
    cv::Point at;
    double fineBest = 0.0;
    cv::minMaxLoc(fineStrength, nullptr, &fineBest, nullptr, &at);
    if (score)
        *score = best;
    // A band without structure along the web (one long label) keeps the
    // coarse place.
    if (fineBest < 0.3)
        return int(std::lround(coarse / reduce));
    return y0 + at.y;
}
