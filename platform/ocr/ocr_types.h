#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

// One line of text found in a picture: its box (four corners, clockwise from
// top left, in the picture's pixels), how sure detection and recognition are,
// and the text.
struct TextBlock
{
    std::vector<cv::Point> boxPoint;
    float boxScore = 0.0f;
    int angleIndex = -1; // 0 upright, 1 upside down, -1 not asked
    float angleScore = 0.0f;
    std::string text;
    std::vector<float> charScores;
    float score = 0.0f; // mean of charScores
};

struct OcrResult
{
    std::vector<TextBlock> textBlocks;
    double detectTime = 0.0; // ms, the whole detect call
    std::string strRes;      // the texts, one a line
};
