#include <arv.h>

#include "platform/camera/pixel_convert.h"

#include <opencv2/imgproc.hpp>

#include <cstdint>

namespace {

enum class Layout { Unsupported, Mono8, Mono16, MonoPacked, Bayer8, Bayer16, BayerPacked, Rgb8, Bgr8, Uyvy, Yuyv };

struct Format
{
    Layout layout = Layout::Unsupported;
    int bits = 8;     // significant bits in a 16-bit container
    int bayerCode = 0; // cv::COLOR_Bayer*2RGB
};

// GenICam names a colour-filter pattern by its first two pixels, OpenCV by
// the second row's: RG in one is BG in the other.
Format formatOf(std::uint32_t pf)
{
    switch (pf) {
    case ARV_PIXEL_FORMAT_MONO_8: return {Layout::Mono8, 8, 0};
    case ARV_PIXEL_FORMAT_MONO_10: return {Layout::Mono16, 10, 0};
    case ARV_PIXEL_FORMAT_MONO_12: return {Layout::Mono16, 12, 0};
    case ARV_PIXEL_FORMAT_MONO_10_PACKED: return {Layout::MonoPacked, 10, 0};
    case ARV_PIXEL_FORMAT_MONO_12_PACKED: return {Layout::MonoPacked, 12, 0};
    case ARV_PIXEL_FORMAT_MONO_14: return {Layout::Mono16, 14, 0};
    case ARV_PIXEL_FORMAT_MONO_16: return {Layout::Mono16, 16, 0};
    case ARV_PIXEL_FORMAT_BAYER_RG_8: return {Layout::Bayer8, 8, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_8: return {Layout::Bayer8, 8, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_8: return {Layout::Bayer8, 8, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_8: return {Layout::Bayer8, 8, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_BAYER_RG_10: return {Layout::Bayer16, 10, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_10: return {Layout::Bayer16, 10, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_10: return {Layout::Bayer16, 10, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_10: return {Layout::Bayer16, 10, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_BAYER_RG_12: return {Layout::Bayer16, 12, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_12: return {Layout::Bayer16, 12, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_12: return {Layout::Bayer16, 12, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_12: return {Layout::Bayer16, 12, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_BAYER_RG_10_PACKED: return {Layout::BayerPacked, 10, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_10_PACKED: return {Layout::BayerPacked, 10, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_10_PACKED: return {Layout::BayerPacked, 10, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_10_PACKED: return {Layout::BayerPacked, 10, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_BAYER_RG_12_PACKED: return {Layout::BayerPacked, 12, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_12_PACKED: return {Layout::BayerPacked, 12, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_12_PACKED: return {Layout::BayerPacked, 12, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_12_PACKED: return {Layout::BayerPacked, 12, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_BAYER_RG_16: return {Layout::Bayer16, 16, cv::COLOR_BayerBG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_BG_16: return {Layout::Bayer16, 16, cv::COLOR_BayerRG2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GR_16: return {Layout::Bayer16, 16, cv::COLOR_BayerGB2RGB};
    case ARV_PIXEL_FORMAT_BAYER_GB_16: return {Layout::Bayer16, 16, cv::COLOR_BayerGR2RGB};
    case ARV_PIXEL_FORMAT_RGB_8_PACKED: return {Layout::Rgb8, 8, 0};
    case ARV_PIXEL_FORMAT_BGR_8_PACKED: return {Layout::Bgr8, 8, 0};
    case ARV_PIXEL_FORMAT_YUV_422_PACKED: return {Layout::Uyvy, 8, 0};
    case ARV_PIXEL_FORMAT_YUV_422_YUYV_PACKED: return {Layout::Yuyv, 8, 0};
    default: return {};
    }
}

std::size_t bytesNeeded(Layout layout, int width, int height)
{
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    switch (layout) {
    case Layout::Mono8:
    case Layout::Bayer8: return pixels;
    case Layout::MonoPacked:
    case Layout::BayerPacked: return (pixels * 3 + 1) / 2;
    case Layout::Mono16:
    case Layout::Bayer16:
    case Layout::Uyvy:
    case Layout::Yuyv: return pixels * 2;
    case Layout::Rgb8:
    case Layout::Bgr8: return pixels * 3;
    case Layout::Unsupported: break;
    }
    return 0;
}

cv::Mat to8Bit(const cv::Mat &wide, int bits)
{
    cv::Mat narrow;
    wide.convertTo(narrow, CV_8U, 1.0 / double(1 << (bits - 8)));
    return narrow;
}

// Two pixels in three bytes, as GigE Vision packs them: the high bits of
// each pixel in bytes 0 and 2, the low bits of both in byte 1 (pixel 0 in
// the low nibble). Unpacked into 16-bit pixels, so that the packed formats
// convert exactly as their unpacked twins do.
cv::Mat unpack(const std::uint8_t *packed, int width, int height, int bits)
{
    cv::Mat wide(height, width, CV_16UC1);
    auto *out = wide.ptr<std::uint16_t>();
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    const int low = bits - 8;
    const unsigned lowMask = (1u << low) - 1;
    for (std::size_t i = 0; i < pixels; i += 2) {
        const std::uint8_t *group = packed + (i / 2) * 3;
        out[i] = std::uint16_t((unsigned(group[0]) << low) | (group[1] & lowMask));
        if (i + 1 < pixels)
            out[i + 1] = std::uint16_t((unsigned(group[2]) << low) | ((group[1] >> 4) & lowMask));
    }
    return wide;
}

} // namespace

cv::Mat convertToRgb8(const void *data, std::size_t size, int width, int height, std::uint32_t pixelFormat,
                      std::string *error)
{
    const Format format = formatOf(pixelFormat);
    auto fail = [error](const std::string &why) {
        if (error)
            *error = why;
        return cv::Mat();
    };
    if (format.layout == Layout::Unsupported)
        return fail("unsupported pixel format " + std::to_string(pixelFormat));
    if (!data || width <= 0 || height <= 0)
        return fail("empty frame");
    if (size < bytesNeeded(format.layout, width, height))
        return fail("frame shorter than its size");

    // The views below only read the camera's buffer; every branch ends in a
    // picture of its own.
    void *raw = const_cast<void *>(data);
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    cv::Mat rgb;
    switch (format.layout) {
    case Layout::Mono8: cv::cvtColor(cv::Mat(height, width, CV_8UC1, raw), rgb, cv::COLOR_GRAY2RGB); break;
    case Layout::Mono16:
        cv::cvtColor(to8Bit(cv::Mat(height, width, CV_16UC1, raw), format.bits), rgb, cv::COLOR_GRAY2RGB);
        break;
    case Layout::MonoPacked:
        cv::cvtColor(to8Bit(unpack(bytes, width, height, format.bits), format.bits), rgb, cv::COLOR_GRAY2RGB);
        break;
    case Layout::Bayer8: cv::cvtColor(cv::Mat(height, width, CV_8UC1, raw), rgb, format.bayerCode); break;
    case Layout::BayerPacked:
        cv::cvtColor(to8Bit(unpack(bytes, width, height, format.bits), format.bits), rgb, format.bayerCode);
        break;
    case Layout::Bayer16:
        cv::cvtColor(to8Bit(cv::Mat(height, width, CV_16UC1, raw), format.bits), rgb, format.bayerCode);
        break;
    case Layout::Rgb8: rgb = cv::Mat(height, width, CV_8UC3, raw).clone(); break;
    case Layout::Bgr8: cv::cvtColor(cv::Mat(height, width, CV_8UC3, raw), rgb, cv::COLOR_BGR2RGB); break;
    case Layout::Uyvy: cv::cvtColor(cv::Mat(height, width, CV_8UC2, raw), rgb, cv::COLOR_YUV2RGB_UYVY); break;
    case Layout::Yuyv: cv::cvtColor(cv::Mat(height, width, CV_8UC2, raw), rgb, cv::COLOR_YUV2RGB_YUYV); break;
    case Layout::Unsupported: break;
    }
    return rgb;
}
