#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

// Turns one camera frame (GenICam pixel format code, as Aravis reports it)
// into an 8-bit three-channel RGB picture. Colour-filter, YUV and BGR frames
// are demosaiced or converted; grey frames of any depth become grey RGB;
// packed 10- and 12-bit frames convert as their unpacked twins.
// An unsupported format or a buffer too short for width × height gives an
// empty picture and the reason in error.
cv::Mat convertToRgb8(const void *data, std::size_t size, int width, int height, std::uint32_t pixelFormat,
                      std::string *error = nullptr);
