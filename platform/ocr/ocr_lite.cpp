#include "platform/ocr/ocr_lite.h"

#include "platform/ocr/ocr_ctc.h"
#include "platform/ocr/ocr_paths.h"
#include "platform/ocr/ocr_sessions.h"
#include "platform/ocr/ocr_text_boxes.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace {

constexpr int kRecHeight = 48;
constexpr int kClsHeight = 48;
constexpr int kClsWidth = 192;
constexpr int kDetAlign = 32;
constexpr float kAngleTrust = 0.9f;

// Planar float tensor (1 × 3 × rows × cols) of an 8-bit BGR picture:
// (pixel − mean[c]) × scale[c].
std::vector<float> toTensor(const cv::Mat &bgr, const float mean[3], const float scale[3], int padToWidth = 0)
{
    const int width = std::max(bgr.cols, padToWidth);
    std::vector<float> tensor(std::size_t(3) * std::size_t(bgr.rows) * std::size_t(width), 0.0f);
    const std::size_t plane = std::size_t(bgr.rows) * std::size_t(width);
    for (int y = 0; y < bgr.rows; ++y) {
        const cv::Vec3b *row = bgr.ptr<cv::Vec3b>(y);
        for (int x = 0; x < bgr.cols; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
            for (int c = 0; c < 3; ++c)
                tensor[std::size_t(c) * plane + at] = (float(row[x][c]) - mean[c]) * scale[c];
        }
    }
    return tensor;
}

// The recogniser and classifier take pixels scaled to [-1, 1].
const float kHalfMean[3] = {127.5f, 127.5f, 127.5f};
const float kHalfScale[3] = {1.0f / 127.5f, 1.0f / 127.5f, 1.0f / 127.5f};
// The detector takes ImageNet statistics, applied in the picture's own
// channel order as the models were trained.
const float kDetMean[3] = {0.485f * 255.0f, 0.456f * 255.0f, 0.406f * 255.0f};
const float kDetScale[3] = {1.0f / (0.229f * 255.0f), 1.0f / (0.224f * 255.0f), 1.0f / (0.225f * 255.0f)};

cv::Mat toBgr(const cv::Mat &image)
{
    cv::Mat bgr;
    if (image.type() == CV_8UC3)
        bgr = image;
    else if (image.type() == CV_8UC1)
        cv::cvtColor(image, bgr, cv::COLOR_GRAY2BGR);
    else if (image.type() == CV_8UC4)
        cv::cvtColor(image, bgr, cv::COLOR_BGRA2BGR);
    return bgr;
}

int alignedSide(double side)
{
    return std::max(kDetAlign, int(std::lround(side / kDetAlign)) * kDetAlign);
}

} // namespace

OcrLite::OcrLite()
    : m_sessions(std::make_unique<OcrSessions>())
{
}

OcrLite::~OcrLite() = default;

void OcrLite::setNumThread(int numOfThread)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_numThread = numOfThread;
}

void OcrLite::initLogger(bool isConsole, bool isPartImg, bool isResultImg)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_console = isConsole;
    m_partImg = isPartImg;
    m_resultImg = isResultImg;
}

bool OcrLite::initModels(const std::string &detPath, const std::string &clsPath, const std::string &recPath,
                         const std::string &keysPath)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_ready = false;
    const QString det = resolveModelFile(QString::fromStdString(detPath));
    const QString cls = resolveModelFile(QString::fromStdString(clsPath));
    const QString rec = resolveModelFile(QString::fromStdString(recPath));
    const QString keys = toLocalPath(QString::fromStdString(keysPath));
    for (const auto &[name, path] : {std::pair{detPath, det}, std::pair{recPath, rec}}) {
        if (path.isEmpty()) {
            qCritical() << "OcrLite::initModels" << "model missing:" << QString::fromStdString(name);
            return false;
        }
    }
    if (cls.isEmpty())
        qWarning() << "OcrLite::initModels" << "no direction model, lines are read as they stand:"
                   << QString::fromStdString(clsPath);
    bool keysRead = false;
    std::vector<std::string> alphabet = loadOcrKeys(keys.toStdString(), &keysRead);
    if (!keysRead) {
        qCritical() << "OcrLite::initModels" << "key list missing or empty:" << keys;
        return false;
    }
    std::string error;
    if (!m_sessions->load(det.toStdString(), cls.toStdString(), rec.toStdString(), m_numThread, &error)) {
        qCritical() << "OcrLite::initModels" << "cannot load models:" << QString::fromStdString(error);
        return false;
    }
    m_keys = std::move(alphabet);
    m_ready = true;
    qInfo() << "OcrLite::initModels" << det << cls << rec << keys << "keys" << m_keys.size() - 2;
    return true;
}

bool OcrLite::isReady() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_ready;
}

int OcrLite::classifyAngle(const cv::Mat &crop, float *score)
{
    *score = 0.0f;
    if (!m_sessions->loaded(OcrSessions::Classifier))
        return -1;
    const int width = std::min(kClsWidth, int(std::ceil(kClsHeight * double(crop.cols) / crop.rows)));
    cv::Mat resized;
    cv::resize(crop, resized, cv::Size(std::max(1, width), kClsHeight));
    std::vector<float> out;
    std::vector<std::int64_t> shape;
    std::string error;
    if (!m_sessions->run(OcrSessions::Classifier, toTensor(resized, kHalfMean, kHalfScale, kClsWidth),
                         {1, 3, kClsHeight, kClsWidth}, &out, &shape, &error)
        || out.size() < 2) {
        qCritical() << "OcrLite::classifyAngle" << QString::fromStdString(error);
        return -1;
    }
    const int index = out[1] > out[0] ? 1 : 0;
    *score = out[std::size_t(index)];
    return index;
}

TextBlock OcrLite::recognize(const cv::Mat &crop, const std::vector<bool> *allowed)
{
    TextBlock block;
    if (crop.empty())
        return block;
    // Lines cut tight to their glyphs read badly: give them a margin of about
    // half their height, in the line's own edge colours.
    const int margin = std::max(1, crop.rows / 2);
    cv::Mat padded;
    cv::copyMakeBorder(crop, padded, margin, margin, margin, margin, cv::BORDER_REPLICATE);
    const int width = std::max(kRecHeight / 4, int(std::ceil(kRecHeight * double(padded.cols) / padded.rows)));
    cv::Mat resized;
    cv::resize(padded, resized, cv::Size(width, kRecHeight));
    std::vector<float> out;
    std::vector<std::int64_t> shape;
    std::string error;
    if (!m_sessions->run(OcrSessions::Recogniser, toTensor(resized, kHalfMean, kHalfScale),
                         {1, 3, kRecHeight, width}, &out, &shape, &error)
        || shape.size() != 3) {
        qCritical() << "OcrLite::recognize" << QString::fromStdString(error);
        return block;
    }
    const CtcText decoded = ctcGreedyDecode(out.data(), int(shape[1]), int(shape[2]), m_keys, allowed);
    block.text = decoded.text;
    block.charScores = decoded.charScores;
    if (!block.charScores.empty()) {
        float sum = 0.0f;
        for (float s : block.charScores)
            sum += s;
        block.score = sum / float(block.charScores.size());
    }
    return block;
}

TextBlock OcrLite::recognizeLine(const cv::Mat &line)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const cv::Mat bgr = toBgr(line);
    if (!m_ready || bgr.empty())
        return TextBlock();
    return recognize(bgr);
}

OcrResult OcrLite::detect(const cv::Mat &image, int padding, int maxSideLen, float boxScoreThresh, float boxThresh,
                          float unClipRatio, bool doAngle, bool mostAngle, const std::string &onlyChars)
{
    QElapsedTimer clock;
    clock.start();
    OcrResult result;
    std::lock_guard<std::mutex> lock(m_lock);
    const cv::Mat bgr = toBgr(image);
    if (!m_ready || bgr.empty()) {
        qCritical() << "OcrLite::detect" << (m_ready ? "no picture" : "models not loaded");
        return result;
    }
    padding = std::max(0, padding);
    cv::Mat padded;
    cv::copyMakeBorder(bgr, padded, padding, padding, padding, padding, cv::BORDER_CONSTANT,
                       cv::Scalar(255, 255, 255));

    const int longest = std::max(padded.cols, padded.rows);
    const double ratio = (maxSideLen > 0 && longest > maxSideLen) ? double(maxSideLen) / longest : 1.0;
    const int detWidth = alignedSide(padded.cols * ratio);
    const int detHeight = alignedSide(padded.rows * ratio);
    cv::Mat detInput;
    cv::resize(padded, detInput, cv::Size(detWidth, detHeight));

    std::vector<float> out;
    std::vector<std::int64_t> shape;
    std::string error;
    if (!m_sessions->run(OcrSessions::Detector, toTensor(detInput, kDetMean, kDetScale), {1, 3, detHeight, detWidth},
                         &out, &shape, &error)
        || shape.size() != 4 || shape[2] != detHeight || shape[3] != detWidth) {
        qCritical() << "OcrLite::detect" << "detection failed" << QString::fromStdString(error);
        return result;
    }
    const cv::Mat prob(detHeight, detWidth, CV_32FC1, out.data());
    const std::vector<TextBox> boxes = findTextBoxes(prob, boxThresh, boxScoreThresh, unClipRatio,
                                                     float(padded.cols) / detWidth, float(padded.rows) / detHeight);

    std::vector<cv::Mat> crops;
    std::vector<int> angles;
    std::vector<float> angleScores;
    for (const TextBox &box : boxes) {
        crops.push_back(cropTextBox(padded, box.corners));
        float score = 0.0f;
        angles.push_back(doAngle && !crops.back().empty() ? classifyAngle(crops.back(), &score) : -1);
        angleScores.push_back(score);
    }
    if (doAngle && mostAngle && !angles.empty()) {
        int upsideDown = 0;
        for (int a : angles)
            upsideDown += a == 1 ? 1 : 0;
        const int majority = upsideDown * 2 > int(angles.size()) ? 1 : 0;
        for (int &a : angles)
            a = a < 0 ? a : majority;
    }

    const std::vector<bool> allowed = onlyChars.empty() ? std::vector<bool>() : ctcAllowedEntries(m_keys, onlyChars);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        cv::Mat crop = crops[i];
        if (crop.empty())
            continue;
        const bool turn = angles[i] == 1 && (mostAngle || angleScores[i] >= kAngleTrust);
        if (turn)
            cv::rotate(crop, crop, cv::ROTATE_180);
        TextBlock block = recognize(crop, onlyChars.empty() ? nullptr : &allowed);
        if (!onlyChars.empty() && angleScores[i] < kAngleTrust) {
            // Text of few characters (digits such as 0, 6, 8 and 9) can read
            // well both ways up; where the direction classifier is unsure,
            // the turned line is read too and the surer reading wins.
            cv::Mat turned;
            cv::rotate(crop, turned, cv::ROTATE_180);
            TextBlock other = recognize(turned, &allowed);
            if (other.score > block.score)
                block = std::move(other);
        }
        block.boxScore = boxes[i].score;
        block.angleIndex = angles[i];
        block.angleScore = angleScores[i];
        for (const cv::Point2f &corner : boxes[i].corners) {
            block.boxPoint.emplace_back(std::clamp(int(std::lround(corner.x)) - padding, 0, bgr.cols - 1),
                                        std::clamp(int(std::lround(corner.y)) - padding, 0, bgr.rows - 1));
        }
        if (block.text.empty())
            continue;
        if (m_console)
            qInfo() << "OcrLite::detect" << QString::fromStdString(block.text) << block.score;
        result.strRes += block.text + "\n";
        result.textBlocks.push_back(std::move(block));
    }
    result.detectTime = double(clock.nsecsElapsed()) / 1.0e6;
    if (m_console)
        qInfo() << "OcrLite::detect" << result.textBlocks.size() << "lines in" << result.detectTime << "ms";
    return result;
}
