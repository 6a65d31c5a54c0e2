#pragma once

#include "platform/ocr/ocr_types.h"

#include <opencv2/core.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class OcrSessions;

// Reads lines of text in a picture with the PP-OCR models: a text detector,
// an optional direction classifier and a recogniser. Model paths may be
// written the Windows way; see toLocalPath.
class OcrLite
{
public:
    OcrLite();
    ~OcrLite();
    OcrLite(const OcrLite &) = delete;
    OcrLite &operator=(const OcrLite &) = delete;

    // Threads of each network run; takes effect at the next initModels.
    void setNumThread(int numOfThread);
    // Console: one log line per detect call and per line read. The two image
    // switches are kept for callers that ask; no pictures are written.
    void initLogger(bool isConsole, bool isPartImg, bool isResultImg);
    // Loads the three networks and the key list; false (and a critical log
    // line) when any is missing or unreadable. A failed load leaves the
    // engine unusable until a load succeeds.
    bool initModels(const std::string &detPath, const std::string &clsPath, const std::string &recPath,
                    const std::string &keysPath);
    bool isReady() const;

    // All text lines of a BGR (or grey) picture. padding: white border added
    // round the picture first; maxSideLen: longest side given to the
    // detector (0: as is); boxScoreThresh: least mean probability of a line;
    // boxThresh: probability that counts as text; unClipRatio: how far a box
    // grows past its core; doAngle: turn upside-down lines; mostAngle: all
    // lines take the majority direction.
    // onlyChars: when not empty, each line is read as text of these
    // characters only (see ctcGreedyDecode).
    OcrResult detect(const cv::Mat &image, int padding, int maxSideLen, float boxScoreThresh, float boxThresh,
                     float unClipRatio, bool doAngle, bool mostAngle, const std::string &onlyChars = std::string());

    // Recognition of one upright line picture alone (no detection).
    TextBlock recognizeLine(const cv::Mat &line);

private:
    int classifyAngle(const cv::Mat &crop, float *score);
    TextBlock recognize(const cv::Mat &crop, const std::vector<bool> *allowed = nullptr);

    mutable std::mutex m_lock; // one picture at a time through the networks
    std::unique_ptr<OcrSessions> m_sessions;
    std::vector<std::string> m_keys;
    int m_numThread = 4;
    bool m_console = false;
    bool m_partImg = false;
    bool m_resultImg = false;
    bool m_ready = false;
};
