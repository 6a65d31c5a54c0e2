#include "platform/detector/paper_edges.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Half the distance over which a step is measured: short, so a label a
// millimetre inside the paper edge does not cancel a faint liner step.
constexpr int kStepHalf = 3;
// Least step, in grey levels of the column means, that counts as an edge.
constexpr float kLeastStep = 4.0f;
// Pairs this close to the expected width (relative) are equally good; of
// those the outermost is the paper and the others are label edges.
constexpr double kWidthTolerance = 0.03;

struct Step
{
    int x = 0;     // the first column after the step
    float size = 0; // signed: positive when it gets brighter
};

double mean(const std::vector<float> &p, int from, int to)
{
    from = std::max(0, from);
    to = std::min(int(p.size()) - 1, to);
    double sum = 0.0;
    for (int x = from; x <= to; ++x)
        sum += p[size_t(x)];
    return to >= from ? sum / double(to - from + 1) : 0.0;
}

// The crossing, to a fraction of a pixel, of the level half-way between the
// two sides of the step, nearest the step.
double crossing(const std::vector<float> &p, const Step &s)
{
    const int n = int(p.size());
    const double before = mean(p, s.x - 3 * kStepHalf, s.x - kStepHalf - 1);
    const double after = mean(p, s.x + kStepHalf, s.x + 3 * kStepHalf - 1);
    const double level = (before + after) * 0.5;
    for (int d = 0; d <= 2 * kStepHalf; ++d) {
        for (int x : {s.x - d, s.x + d}) {
            if (x < 1 || x >= n)
                continue;
            const double a = p[size_t(x - 1)] - level;
            const double b = p[size_t(x)] - level;
            if ((a < 0) != (b < 0) && a != b)
                return double(x - 1) + a / (a - b);
        }
    }
    return double(s.x) - 0.5;
}

} // namespace

bool findPaperEdges(const cv::Mat &grey, int *firstEdge, int *lastEdge, double expectedWidth)
{
    *firstEdge = 0;
    *lastEdge = 0;
    if (grey.empty() || grey.cols < 8 * kStepHalf)
        return false;
    // The middle half of the rows: a web turned a little smears its edges
    // over the rows, and the edges are wanted where the middle row meets them.
    const int rows = std::max(1, grey.rows / 2);
    cv::Mat profileMat;
    cv::reduce(grey.rowRange(grey.rows / 4, grey.rows / 4 + rows), profileMat, 0, cv::REDUCE_AVG, CV_32F);
    const std::vector<float> p(profileMat.ptr<float>(0), profileMat.ptr<float>(0) + profileMat.cols);
    const int n = int(p.size());

    std::vector<float> step(size_t(n), 0.0f);
    for (int x = kStepHalf; x + kStepHalf <= n; ++x)
        step[size_t(x)] = float(mean(p, x, x + kStepHalf - 1) - mean(p, x - kStepHalf, x - 1));
    // The strong steps: each the extreme of its run of like-signed steps.
    std::vector<Step> steps;
    for (int x = kStepHalf; x + kStepHalf <= n; ++x) {
        const float v = step[size_t(x)];
        if (std::abs(v) < kLeastStep)
            continue;
        if (std::abs(v) < std::abs(step[size_t(x - 1)]) || std::abs(v) <= std::abs(step[size_t(x + 1)]))
            continue;
        if (!steps.empty() && x - steps.back().x <= kStepHalf && (steps.back().size > 0) == (v > 0)) {
            if (std::abs(v) > std::abs(steps.back().size))
                steps.back() = {x, v};
            continue;
        }
        steps.push_back({x, v});
    }
    if (steps.size() < 2)
        return false;

    // The paper enters and leaves the same background: its two steps have
    // opposite signs.
    int bestA = -1, bestB = -1;
    if (expectedWidth > 0.0) {
        double bestMiss = 0.0;
        for (size_t a = 0; a < steps.size(); ++a) {
            for (size_t b = a + 1; b < steps.size(); ++b) {
                if ((steps[a].size > 0) == (steps[b].size > 0))
                    continue;
                const double miss = std::abs(double(steps[b].x - steps[a].x) - expectedWidth) / expectedWidth;
                // Within the tolerance the wider pair wins: label edges lie inside.
                const double rank = std::max(miss, kWidthTolerance) - 1e-9 * double(steps[b].x - steps[a].x);
                if (bestA < 0 || rank < bestMiss) {
                    bestMiss = rank;
                    bestA = int(a);
                    bestB = int(b);
                }
            }
        }
    } else {
        bestA = 0;
        for (int b = int(steps.size()) - 1; b > 0; --b) {
            if ((steps[size_t(b)].size > 0) != (steps[0].size > 0)) {
                bestB = b;
                break;
            }
        }
    }
    if (bestA < 0 || bestB < 0)
        return false;
    *firstEdge = int(std::lround(crossing(p, steps[size_t(bestA)]) + 0.5));
    *lastEdge = int(std::lround(crossing(p, steps[size_t(bestB)]) + 0.5));
    return *lastEdge > *firstEdge;
}
