#pragma once

#include <opencv2/core.hpp>

#include <vector>

// The labels of one page as the cut mask draws them (black shapes on white),
// brought to the picture's scale: their rectangles in mask pixels, in order
// along the web and then across it, and the mask itself as 8-bit grey with
// labels 255.
struct LabelLayout
{
    cv::Mat mask;
    std::vector<cv::Rect> labels;
};

// The template scaled by factor (picture pixels per template pixel).
LabelLayout labelLayout(const cv::Mat &templ, double factor);

// Where the page starts along the web in the paper strip of grey (the
// columns first..first + layout width): the row where the page's label
// pattern matches best, the one nearest the picture's top among equally good
// ones. A page longer than the picture is placed by its leading part. -1
// when nothing matches.
int matchPageStart(const cv::Mat &grey, int first, const LabelLayout &layout, double *score = nullptr);
