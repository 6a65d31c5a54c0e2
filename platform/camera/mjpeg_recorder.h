#pragma once

#include <opencv2/core.hpp>

#include <chrono>
#include <string>

// One AVI (Motion JPEG) recording. The writer module is loaded on the first
// open, so start-up never waits for the video libraries. Not thread-safe: the
// caller holds its own lock.
class MjpegRecorder
{
public:
    MjpegRecorder() = default;
    MjpegRecorder(const MjpegRecorder &) = delete;
    MjpegRecorder &operator=(const MjpegRecorder &) = delete;
    ~MjpegRecorder() { release(); }

    // Closes any recording in progress and starts one; false with *why set
    // when the module cannot be loaded or the file cannot be opened.
    bool open(const std::string &path, double fps, cv::Size size, std::string *why);
    bool isOpened() const { return m_writer != nullptr; }
    // Appends one 8-bit BGR frame of the opened size, as many times as the
    // file's frame slots have passed since the last one (none when it comes
    // before its slot), so the file plays in the time it was recorded.
    void write(const cv::Mat &bgr);
    void release();

private:
    void *m_writer = nullptr;
    double m_fps = 0.0;
    std::chrono::steady_clock::time_point m_start;
    long long m_written = 0;
};
