#include "platform/detector/liner_line.h"

#include <algorithm>
#include <cmath>
#include <vector>

LinerLine fitLinerLine(const cv::Mat &grey, const cv::Mat &where, int x0)
{
    LinerLine line;
    std::vector<uchar> column;
    double sx = 0, sv = 0, sxx = 0, sxv = 0, n = 0;
    for (int x = 0; x < grey.cols; ++x) {
        column.clear();
        for (int y = 0; y < grey.rows; ++y)
            if (where.at<uchar>(y, x))
                column.push_back(grey.at<uchar>(y, x));
        if (column.size() < 4)
            continue;
        std::nth_element(column.begin(), column.begin() + std::ptrdiff_t(column.size() / 2), column.end());
        const double px = x0 + x, v = column[column.size() / 2];
        sx += px;
        sv += v;
        sxx += px * px;
        sxv += px * v;
        n += 1;
    }
    if (n < 2)
        return line;
    const double d = n * sxx - sx * sx;
    line.slope = std::abs(d) > 1e-9 ? (n * sxv - sx * sv) / d : 0.0;
    line.level = (sv - line.slope * sx) / n;
    line.known = true;
    return line;
}

double linerDeviation(const cv::Mat &grey, const cv::Mat &where, int x0, const LinerLine &line, size_t *count)
{
    double sum = 0.0;
    size_t n = 0;
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x)
            if (where.at<uchar>(y, x)) {
                sum += std::abs(grey.at<uchar>(y, x) - line.at(x0 + x));
                ++n;
            }
    if (count)
        *count = n;
    return n ? sum / double(n) : 0.0;
}
