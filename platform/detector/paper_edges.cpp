#include "platform/detector/paper_edges.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <vector>

bool findPaperEdges(const cv::Mat &grey, int *firstEdge, int *lastEdge)
{
    *firstEdge = 0;
    *lastEdge = 0;
    if (grey.empty() || grey.cols < 3)
        return false;
    cv::Mat profile;
    cv::reduce(grey, profile, 0, cv::REDUCE_AVG, CV_32F);
    const float *p = profile.ptr<float>(0);
    const int n = profile.cols;

    // The levels from the profile's own spread: the darkest and brightest
    // tenths stand for background and paper, so a few dark label prints or
    // a bright reflection beside the web do not move the threshold.
    std::vector<float> sorted(p, p + n);
    std::sort(sorted.begin(), sorted.end());
    const int tenth = std::max(1, n / 10);
    float low = 0, high = 0;
    for (int i = 0; i < tenth; ++i) {
        low += sorted[size_t(i)];
        high += sorted[size_t(n - 1 - i)];
    }
    low /= float(tenth);
    high /= float(tenth);
    if (high - low < 20.0f)
        return false; // no contrast: no paper, or paper over the whole view
    const float half = (low + high) * 0.5f;

    int first = -1;
    for (int x = 0; x < n; ++x) {
        if (p[x] >= half) {
            first = x;
            break;
        }
    }
    int last = -1;
    for (int x = n - 1; x >= 0; --x) {
        if (p[x] >= half) {
            last = x;
            break;
        }
    }
    if (first < 0 || last <= first)
        return false;
    // The crossing to a fraction of a pixel: the edge lies between the last
    // dark and the first bright column.
    auto crossing = [&](int dark, int bright) {
        if (dark < 0 || dark >= n)
            return double(bright);
        const double d = double(p[bright]) - double(p[dark]);
        const double t = d != 0.0 ? (double(half) - double(p[dark])) / d : 0.5;
        return double(dark) + (double(bright) - double(dark)) * std::clamp(t, 0.0, 1.0);
    };
    *firstEdge = int(crossing(first - 1, first) + 0.5);
    *lastEdge = int(crossing(last + 1, last) + 0.5);
    return *lastEdge > *firstEdge;
}
