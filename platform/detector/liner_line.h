#pragma once

#include <opencv2/core.hpp>

// The liner's brightness across the web as a line through the medians of
// its columns: light falls off across the web, and a line (not each column
// on its own) keeps a column that shows only labels from passing as liner.
struct LinerLine
{
    double level = 0.0; // at column 0 of the picture
    double slope = 0.0; // per column
    bool known = false;
    double at(int x) const { return level + slope * x; }
};

// grey: 8-bit; where: 8-bit, non-zero at the liner's pixels, the same size;
// x0: the picture column of grey's first column.
LinerLine fitLinerLine(const cv::Mat &grey, const cv::Mat &where, int x0);

// The mean absolute deviation of the liner's pixels from the line.
double linerDeviation(const cv::Mat &grey, const cv::Mat &where, int x0, const LinerLine &line, size_t *count = nullptr);
