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

// What the caller knows of where the page should lie: the start predicted
// from the previous page and the web moved since (pixels), and the page
// pitch along the web (page height plus page spacing, pixels; 0: unknown).
struct PageExpectation
{
    double start = 0.0;
    double pitch = 0.0;
    bool known() const { return pitch > 0.0; }
};

// matchPageStart's answer when two places fit the page equally well (a
// regular grid, one row apart): the page is not placed.
constexpr int kAmbiguousPageStart = -2;

// Where the page starts along the web in the paper strip of grey (the
// columns first..first + layout width). Candidates are the rows where the
// page's label pattern matches well; of those, the one on the expected
// page grid when there is one, else the topmost whose whole page lies in
// the picture and that no overlapping candidate fits as well. A page
// longer than the picture is placed by its leading part. -1 when nothing
// matches, kAmbiguousPageStart when two overlapping candidates fit alike.
int matchPageStart(const cv::Mat &grey, int first, const LabelLayout &layout, const PageExpectation &expect = {},
                   double *score = nullptr);
