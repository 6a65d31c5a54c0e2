#pragma once

#include <opencv2/core.hpp>

// The paper's two edges across the web: where the columns' mean brightness
// steps, up or down, between the background and the liner. The liner may be
// darker or brighter than the background and the labels brighter than both,
// so no level threshold is used: the strong steps of the profile are found,
// and of those the pair whose distance is nearest expectedWidth (pixels;
// 0 or less: unknown, the outermost pair) is taken. false when no paper is
// seen.
bool findPaperEdges(const cv::Mat &grey, int *firstEdge, int *lastEdge, double expectedWidth = 0.0);
