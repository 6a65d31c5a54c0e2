#pragma once

#include "vision/mark_locate.h"
#include "vision/mark_record.h"

#include <cstdint>

class QImage;

// The plain mark finder the fast one replaced, kept as the answer it must
// give: same signatures as vision/mark_finder.h and vision/mark_locate.h.
namespace reference {

int findMarks(int d, const QImage &picture, MarkRecord *records, int n);
int markFind(const uint8_t *grey, uint8_t *smoothed, uint8_t *intermediate, uint8_t *binary,
             int width, int height, MarkRecord *records, int n);
void markFindGray(const uint8_t *rgb, uint8_t *grey, int width, int height);
int markFindGauss(const uint8_t *in, uint8_t *out, int width, int height, int size);
void markFindThreshold(const uint8_t *in, uint8_t *out, int width, int height, int s2, int t);
void markFindPassV(const uint8_t *in, uint8_t *out, int width, int height);
void markFindPassH(const uint8_t *in, uint8_t *out, int width, int height);
int markFindRegion(uint8_t *binary, int width, int height, int seedX, int seedY, int label,
                   int *bx, int *by, int *bw, int *bh);
// The program's locate with the plain finder.
MarkLocateResult locateMark(const QImage &picture, const MarkLocateParams &params);

} // namespace reference
