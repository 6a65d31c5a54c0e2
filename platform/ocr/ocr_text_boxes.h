#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <vector>

// Text boxes out of the detector's probability map (DB post-processing).
struct TextBox
{
    std::array<cv::Point2f, 4> corners; // clockwise from top left
    float score = 0.0f;
};

// prob: CV_32F map of the detector input's size. Pixels above boxThresh form
// the text regions; a region whose mean probability is below boxScoreThresh
// is dropped; the rest grow by unClipRatio (area × ratio / perimeter on every
// side) and are scaled by (scaleX, scaleY) back to the picture.
std::vector<TextBox> findTextBoxes(const cv::Mat &prob, float boxThresh, float boxScoreThresh, float unClipRatio,
                                   float scaleX, float scaleY);

// The upright picture of one box, turned a quarter when it is much taller
// than wide (vertical text).
cv::Mat cropTextBox(const cv::Mat &image, const std::array<cv::Point2f, 4> &corners);

// Orders four corners clockwise from the top-left one.
std::array<cv::Point2f, 4> orderCorners(const cv::Point2f points[4]);
