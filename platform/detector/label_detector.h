#pragma once

#include "platform/detector/read_data.h"

#include <opencv2/core.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>

class OcrLite;

// Our label detector: paper edges, the page of labels the cut mask describes,
// per label whether it is there, and the codes and texts on those that are.
// One detector may be used from several threads; the OCR networks take one
// picture at a time.
class LabelDetector
{
public:
    LabelDetector();
    ~LabelDetector();
    LabelDetector(const LabelDetector &) = delete;
    LabelDetector &operator=(const LabelDetector &) = delete;

    // picture: 8-bit BGR; templ: the cut mask (black labels on white, its
    // width the page width). modelPath: a file or folder near the OCR
    // models (see ocrModelFolder). Throws std::invalid_argument for a
    // picture it cannot read.
    ReadData process(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                     const std::string &modelPath);

    // Where the OCR models are looked for: the path itself when it is a
    // folder, else its folder's "models" subfolder, else its folder.
    static std::string ocrModelFolder(const std::string &modelPath);

private:
    OcrLite *ocrEngine(const std::string &modelPath);

    std::mutex m_ocrLock; // the engines below, loaded once per folder
    std::map<std::string, std::unique_ptr<OcrLite>> m_ocr;
};

// The detector's entry as the inspection calls it; one process-wide
// detector.
ReadData process_frame(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr, bool barcode,
                       const std::string &modelPath);
