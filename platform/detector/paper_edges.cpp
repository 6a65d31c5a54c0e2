#include "platform/detector/paper_edges.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
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
    // Each edge again against the levels just beside it: with light that
    // falls off across the web the paper is dimmer at one edge than the
    // other, and a soft edge would move by the difference.
    auto mean = [&](int from, int to) {
        from = std::max(0, from);
        to = std::min(n - 1, to);
        double sum = 0.0;
        for (int x = from; x <= to; ++x)
            sum += p[x];
        return to >= from ? sum / double(to - from + 1) : double(half);
    };
    // dir +1: dark before bright (the first edge); -1: the last edge.
    auto refine = [&](int coarse, int dir) {
        const double dark = dir > 0 ? mean(coarse - 24, coarse - 6) : mean(coarse + 6, coarse + 24);
        const double bright = dir > 0 ? mean(coarse + 6, coarse + 24) : mean(coarse - 24, coarse - 6);
        const double level = (dark + bright) * 0.5;
        // The crossing of level nearest the coarse edge, to a fraction of
        // a pixel.
        for (int d = 0; d <= 8; ++d) {
            for (int x : {coarse - d, coarse + d}) {
                const int a = dir > 0 ? x - 1 : x + 1; // the darker neighbour
                if (a < 0 || a >= n || x < 0 || x >= n)
                    continue;
                if (p[a] < level && p[x] >= level) {
                    const double t = (level - p[a]) / (double(p[x]) - double(p[a]));
                    return double(a) + (double(x) - double(a)) * t;
                }
            }
        }
        return double(coarse);
    };
    *firstEdge = int(std::lround(refine(first, +1)));
    *lastEdge = int(std::lround(refine(last, -1)));
    return *lastEdge > *firstEdge;
}
