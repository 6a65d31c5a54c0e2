#pragma once

#include "vision/mark_record.h"

#include <cstdint>

class QImage;
class QRect;

// The registration-mark finder: filled dark disks of an expected diameter in
// a small mark-camera picture, nearest the picture's centre first. Works on
// plain byte buffers of width x height, row after row without padding.

// Finds up to n marks of expected diameter d (pixels) in picture; fills
// records[0..result) and returns how many were found.
int findMarks(int d, const QImage &picture, MarkRecord *records, int n);
// The same on an area of picture, read in place: as on a copy of the area
// (pixels outside the picture black).
int findMarksIn(int d, const QImage &picture, const QRect &area, MarkRecord *records, int n);

// The whole search on a grey picture; the other three buffers are scratch.
int markFind(const uint8_t *grey, uint8_t *smoothed, uint8_t *intermediate, uint8_t *binary,
             int width, int height, MarkRecord *records, int n);

// Building blocks, exposed for tests.
void markFindGray(const uint8_t *rgb, uint8_t *grey, int width, int height);
// The same from 32-bit pixels (B, G, R, A in memory; alpha ignored).
void markFindGray32(const uint8_t *bgra, uint8_t *grey, int width, int height);
int markFindGauss(const uint8_t *in, uint8_t *out, int width, int height, int size);
void markFindThreshold(const uint8_t *in, uint8_t *out, int width, int height, int s2, int t);
void markFindPassV(const uint8_t *in, uint8_t *out, int width, int height);
void markFindPassH(const uint8_t *in, uint8_t *out, int width, int height);
int markFindRegion(uint8_t *binary, int width, int height, int seedX, int seedY, int label,
                   int *bx, int *by, int *bw, int *bh);
int markFindCircleRatio(const uint8_t *binary, int width, int height, int count, int label,
                        int bx, int by, int bw, int bh, MarkRecord *record);
int markFindAccept(const uint8_t *binary, int width, int height, int x, int y, int d, int label);
// The local window half-size for a picture width and largest diameter.
int markFindWindow(int width, int maxD);
