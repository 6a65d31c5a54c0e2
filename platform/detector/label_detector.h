#pragma once

#include "platform/detector/label_layout.h"
#include "platform/detector/read_data.h"

#include <opencv2/core.hpp>

#include <memory>
#include <string>

class OcrLite;

// What the inspection knows from the pictures before this one: the paper
// width (pixels; 0: unknown) and where the page should lie.
struct FrameExpectation
{
    double paperWidth = 0.0;
    PageExpectation page;
};

// Our label detector: paper edges, the page of labels the cut mask describes,
// per label whether it is there, and the codes and texts on those that are.
// One detector may be used from several threads; the OCR engine is the
// process's one for its model folder (sharedocr), taking one picture at a
// time.
class LabelDetector
{
public:
    LabelDetector();
    ~LabelDetector();
    LabelDetector(const LabelDetector &) = delete;
    LabelDetector &operator=(const LabelDetector &) = delete;

    // picture: 8-bit BGR; templ: the cut mask, grey or BGR (black labels on white, its
    // width the page width). modelPath: a file or folder near the OCR
    // models (see ocrModelFolder). Throws std::invalid_argument for a
    // picture it cannot read. A page whose start is ambiguous is logged and
    // not reported (segment 0, no labels).
    ReadData process(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                     const std::string &modelPath, const FrameExpectation &expect = {});

    // Where the OCR models are looked for: the path itself when it is a
    // folder, else its folder's "models" subfolder, else its folder.
    static std::string ocrModelFolder(const std::string &modelPath);

private:
    std::shared_ptr<OcrLite> ocrEngine(const std::string &modelPath);
};

// The detector's entry as the inspection calls it; one process-wide
// detector.
ReadData process_frame(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                       const std::string &modelPath);
