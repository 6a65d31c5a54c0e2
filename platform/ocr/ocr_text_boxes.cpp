#include "platform/ocr/ocr_text_boxes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kMinSide = 3.0f;
constexpr int kMaxCandidates = 1000;

float meanInside(const cv::Mat &prob, const std::vector<cv::Point> &contour)
{
    const cv::Rect bounds = cv::boundingRect(contour) & cv::Rect(0, 0, prob.cols, prob.rows);
    if (bounds.empty())
        return 0.0f;
    cv::Mat mask = cv::Mat::zeros(bounds.size(), CV_8UC1);
    std::vector<cv::Point> shifted;
    shifted.reserve(contour.size());
    for (const cv::Point &p : contour)
        shifted.emplace_back(p.x - bounds.x, p.y - bounds.y);
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{shifted}, cv::Scalar(1));
    return float(cv::mean(prob(bounds), mask)[0]);
}

} // namespace

std::array<cv::Point2f, 4> orderCorners(const cv::Point2f points[4])
{
    std::array<cv::Point2f, 4> sorted{points[0], points[1], points[2], points[3]};
    std::sort(sorted.begin(), sorted.end(), [](const cv::Point2f &a, const cv::Point2f &b) { return a.x < b.x; });
    // Two leftmost: the upper is top left; two rightmost: the upper is top right.
    const cv::Point2f &l0 = sorted[0], &l1 = sorted[1], &r0 = sorted[2], &r1 = sorted[3];
    const cv::Point2f topLeft = l0.y <= l1.y ? l0 : l1;
    const cv::Point2f bottomLeft = l0.y <= l1.y ? l1 : l0;
    const cv::Point2f topRight = r0.y <= r1.y ? r0 : r1;
    const cv::Point2f bottomRight = r0.y <= r1.y ? r1 : r0;
    return {topLeft, topRight, bottomRight, bottomLeft};
}

std::vector<TextBox> findTextBoxes(const cv::Mat &prob, float boxThresh, float boxScoreThresh, float unClipRatio,
                                   float scaleX, float scaleY)
{
    std::vector<TextBox> boxes;
    if (prob.empty() || prob.type() != CV_32FC1)
        return boxes;
    cv::Mat binary = prob > boxThresh;
    cv::dilate(binary, binary, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2, 2)));
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    if (contours.size() > std::size_t(kMaxCandidates))
        contours.resize(kMaxCandidates);

    for (const auto &contour : contours) {
        if (contour.size() < 3)
            continue;
        const cv::RotatedRect rect = cv::minAreaRect(contour);
        if (std::min(rect.size.width, rect.size.height) < kMinSide)
            continue;
        const float score = meanInside(prob, contour);
        if (score < boxScoreThresh)
            continue;
        // Grow the shrunk text kernel back to the line: offset every side by
        // area × ratio / perimeter.
        const float area = rect.size.width * rect.size.height;
        const float perimeter = 2.0f * (rect.size.width + rect.size.height);
        const float distance = area * unClipRatio / perimeter;
        const cv::RotatedRect grown(rect.center, cv::Size2f(rect.size.width + 2 * distance, rect.size.height + 2 * distance),
                                    rect.angle);
        if (std::min(grown.size.width, grown.size.height) < kMinSide + 2)
            continue;
        cv::Point2f corners[4];
        grown.points(corners);
        for (cv::Point2f &c : corners) {
            c.x = std::clamp(c.x, 0.0f, float(prob.cols - 1)) * scaleX;
            c.y = std::clamp(c.y, 0.0f, float(prob.rows - 1)) * scaleY;
        }
        boxes.push_back({orderCorners(corners), score});
    }
    // Reading order: top to bottom, then left to right.
    std::sort(boxes.begin(), boxes.end(), [](const TextBox &a, const TextBox &b) {
        if (std::abs(a.corners[0].y - b.corners[0].y) > 10.0f)
            return a.corners[0].y < b.corners[0].y;
        return a.corners[0].x < b.corners[0].x;
    });
    return boxes;
}

cv::Mat cropTextBox(const cv::Mat &image, const std::array<cv::Point2f, 4> &corners)
{
    const int width = int(std::lround(std::max(cv::norm(corners[0] - corners[1]), cv::norm(corners[2] - corners[3]))));
    const int height = int(std::lround(std::max(cv::norm(corners[0] - corners[3]), cv::norm(corners[1] - corners[2]))));
    if (width < 1 || height < 1)
        return cv::Mat();
    const cv::Point2f target[4] = {{0.0f, 0.0f}, {float(width), 0.0f}, {float(width), float(height)}, {0.0f, float(height)}};
    const cv::Mat transform = cv::getPerspectiveTransform(corners.data(), target);
    cv::Mat crop;
    cv::warpPerspective(image, crop, transform, cv::Size(width, height), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    if (crop.rows >= crop.cols * 1.5) {
        cv::Mat turned;
        cv::rotate(crop, turned, cv::ROTATE_90_COUNTERCLOCKWISE);
        return turned;
    }
    return crop;
}
