// The Motion JPEG writer, built as a module of its own beside the program so
// that OpenCV's video library (and the ~240 libraries it drags in) is loaded
// only when a recording starts, not at every start-up. Plain C entry points:
// nothing C++ crosses the module boundary.
#include "platform/camera/mjpeg_plugin.h"

#include <opencv2/videoio.hpp>

#include <exception>

extern "C" {

SPOOLSMITH_MJPEG_EXPORT void *spoolsmith_mjpeg_open(const char *path, double fps, int width, int height)
{
    try {
        auto *writer = new cv::VideoWriter();
        if (writer->open(path, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps,
                         cv::Size(width, height)))
            return writer;
        delete writer;
    } catch (const std::exception &) {
    }
    return nullptr;
}

SPOOLSMITH_MJPEG_EXPORT int spoolsmith_mjpeg_write(void *writer, const unsigned char *bgr, int width, int height,
                                                   size_t step)
{
    if (!writer || !bgr)
        return 0;
    try {
        const cv::Mat frame(height, width, CV_8UC3, const_cast<unsigned char *>(bgr), step);
        static_cast<cv::VideoWriter *>(writer)->write(frame);
        return 1;
    } catch (const std::exception &) {
        return 0;
    }
}

SPOOLSMITH_MJPEG_EXPORT void spoolsmith_mjpeg_close(void *writer)
{
    try {
        delete static_cast<cv::VideoWriter *>(writer);
    } catch (const std::exception &) {
    }
}

} // extern "C"
