#pragma once

#include <cstddef>

// Entry points of the Motion JPEG writer module (see mjpeg_plugin.cpp);
// MjpegRecorder resolves them by these names.
#define SPOOLSMITH_MJPEG_EXPORT __attribute__((visibility("default")))

extern "C" {
// A writer for an AVI file at path, or null when it cannot be opened.
typedef void *(*SpoolsmithMjpegOpen)(const char *path, double fps, int width, int height);
// Appends one 8-bit BGR frame; 0 on failure.
typedef int (*SpoolsmithMjpegWrite)(void *writer, const unsigned char *bgr, int width, int height, size_t step);
// Finishes the file and frees the writer; null is allowed.
typedef void (*SpoolsmithMjpegClose)(void *writer);
}
