#pragma once

#include "platform/detector/read_data.h"

#include <opencv2/core.hpp>

#include <vector>

// QR codes and barcodes in one region of a grey picture, by ZBar; results
// in the picture's coordinates (the region's origin added).
struct FoundCodes
{
    std::vector<CodeResult> qr;
    std::vector<CodeResult> bar;
};
FoundCodes readCodes(const cv::Mat &grey, const cv::Rect &region, bool qr, bool barcode);
