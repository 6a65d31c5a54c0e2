#pragma once

#include <opencv2/core.hpp>

// The paper's two edges across the web: the paper is brighter than what lies
// beside it, so the columns' mean brightness steps up at the first edge and
// down at the last. Edges are placed where the profile crosses half-way
// between the background and the paper level. false when no paper is seen.
bool findPaperEdges(const cv::Mat &grey, int *firstEdge, int *lastEdge);
