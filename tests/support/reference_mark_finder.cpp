// The mark finder as it was first written: plain loops over whole pictures. Kept unchanged as the answer the fast code must give,
// record for record; only tests and benchmarks build it.
#include "tests/support/reference_mark_finder.h"

#include <QDebug>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace reference {

namespace {

constexpr int kFirstLabel = 5;
constexpr int kLastLabel = 105;
// 255 x cells must fit the 32-bit integral image.
constexpr qint64 kMaxPixels = qint64(0xFFFFFFFFu) / 255;

struct GreyTables
{
    float r[256];
    float g[256];
    float b[256];
    GreyTables()
    {
        for (int v = 0; v < 256; ++v) {
            const float lin = std::pow(float(v) / 255.0f, 2.2f);
            r[v] = lin * 0.2973f;
            g[v] = lin * 0.6274f;
            b[v] = lin * 0.0753f;
        }
    }
};

const GreyTables &greyTables()
{
    static const GreyTables tables;
    return tables;
}

} // namespace

void markFindGray(const uint8_t *rgb, uint8_t *grey, int width, int height)
{
    const GreyTables &t = greyTables();
    const size_t n = size_t(width) * size_t(height);
    for (size_t i = 0; i < n; ++i) {
        const float sum = t.r[rgb[3 * i]] + t.g[rgb[3 * i + 1]] + t.b[rgb[3 * i + 2]];
        const float v = std::pow(sum, 0.45454544f) * 255.0f;
        grey[i] = uint8_t(std::min(255, int(v)));
    }
}

int markFindGauss(const uint8_t *in, uint8_t *out, int width, int height, int size)
{
    if (size % 2 == 0 || size < 1)
        return -1;
    const int half = size / 2;
    std::vector<double> kernel;
    try {
        kernel.resize(size_t(size) * size_t(size));
    } catch (const std::bad_alloc &) {
        return -1;
    }
    double total = 0.0;
    for (int dy = -half; dy <= half; ++dy)
        for (int dx = -half; dx <= half; ++dx) {
            const double v = std::exp(-(dx * dx + dy * dy) * 0.5);
            kernel[size_t(dy + half) * size + (dx + half)] = v;
            total += v;
        }
    for (double &v : kernel)
        v /= total;

    std::copy(in, in + size_t(width) * size_t(height), out);
    for (int y = half; y < height - half; ++y)
        for (int x = half; x < width - half; ++x) {
            double sum = 0.0;
            for (int dy = -half; dy <= half; ++dy) {
                const uint8_t *row = in + size_t(y + dy) * width + x;
                const double *krow = &kernel[size_t(dy + half) * size + half];
                for (int dx = -half; dx <= half; ++dx)
                    sum += krow[dx] * row[dx];
            }
            out[size_t(y) * width + x] = uint8_t(sum);
        }
    return 0;
}

void markFindThreshold(const uint8_t *in, uint8_t *out, int width, int height, int s2, int t)
{
    std::vector<uint32_t> integral(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        uint32_t rowSum = 0;
        for (int x = 0; x < width; ++x) {
            rowSum += in[size_t(y) * width + x];
            integral[size_t(y) * width + x] = rowSum + (y > 0 ? integral[size_t(y - 1) * width + x] : 0);
        }
    }
    auto at = [&](int x, int y) { return integral[size_t(y) * width + x]; };
    for (int y = 0; y < height; ++y) {
        const int y1 = std::max(y - s2, 0);
        const int y2 = std::min(y + s2, height - 1);
        for (int x = 0; x < width; ++x) {
            const int x1 = std::max(x - s2, 0);
            const int x2 = std::min(x + s2, width - 1);
            const uint32_t count = uint32_t(x2 - x1) * uint32_t(y2 - y1);
            const uint32_t sum = at(x2, y2) - at(x1, y2) - at(x2, y1) + at(x1, y1);
            // 64-bit products: the same answer as 32-bit ones wherever those
            // do not wrap, and a sound one for large windows.
            const uint64_t lhs = uint64_t(in[size_t(y) * width + x]) * count;
            const uint64_t rhs = uint64_t(sum) * uint64_t(100 - t) / 100;
            out[size_t(y) * width + x] = lhs > rhs ? 0 : 255;
        }
    }
}

void markFindPassV(const uint8_t *in, uint8_t *out, int width, int height)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t v = 255;
            for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, height - 1) && v; ++yy)
                for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, width - 1); ++xx)
                    if (in[size_t(yy) * width + xx] == 0) {
                        v = 0;
                        break;
                    }
            out[size_t(y) * width + x] = v;
        }
}

void markFindPassH(const uint8_t *in, uint8_t *out, int width, int height)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t v = 0;
            for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, height - 1) && !v; ++yy)
                for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, width - 1); ++xx)
                    if (in[size_t(yy) * width + xx] == 255) {
                        v = 255;
                        break;
                    }
            out[size_t(y) * width + x] = v;
        }
}

int markFindRegion(uint8_t *binary, int width, int height, int seedX, int seedY, int label,
                   int *bx, int *by, int *bw, int *bh)
{
    if (label < kFirstLabel || label > kLastLabel)
        return 0;
    binary[size_t(seedY) * width + seedX] = uint8_t(label);
    int count = 1;
    int left = seedX, right = seedX, top = seedY, bottom = seedY;
    // Repeated raster scans as the definition asks; only the labelled
    // pixels' bounding box (one pixel wider, growing as the scan goes) can
    // change anything, so rows and columns outside it are skipped.
    bool changed = true;
    while (changed) {
        changed = false;
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                if (binary[size_t(y) * width + x] != label)
                    continue;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = std::clamp(x + dx, 0, width - 1);
                        const int ny = std::clamp(y + dy, 0, height - 1);
                        uint8_t &p = binary[size_t(ny) * width + nx];
                        if (p != 255)
                            continue;
                        p = uint8_t(label);
                        ++count;
                        changed = true;
                        left = std::min(left, nx);
                        right = std::max(right, nx);
                        top = std::min(top, ny);
                        bottom = std::max(bottom, ny);
                    }
            }
        }
    }
    if (bx) *bx = left;
    if (by) *by = top;
    if (bw) *bw = right - left + 1;
    if (bh) *bh = bottom - top + 1;
    return count;
}

int markFindCircleRatio(const uint8_t *binary, int width, int height, int count, int label,
                        int bx, int by, int bw, int bh, MarkRecord *record)
{
    if (!record)
        return -1;
    record->x = record->y = record->d = 0;
    const int minD = record->minD;
    const int maxD = record->maxD;
    if (minD >= maxD)
        return -1;
    constexpr double pi = 3.141592653589793;
    if (count < int(minD * pi * minD * 0.25) || count > int(maxD * pi * maxD * 0.25))
        return -1;
    if (std::abs(bh - bw) > (minD + maxD) / 10)
        return -1;

    const int d = (bw + bh + 1) / 2;
    const int cx = bx + (bw + 1) / 2;
    const int cy = by + (bh + 1) / 2;

    // Extremes of x, y, x + y and x - y; the first pixel met wins a tie.
    int ext[8][2];
    int key[8];
    bool any = false;
    for (int y = by; y < by + bh; ++y)
        for (int x = bx; x < bx + bw; ++x) {
            if (binary[size_t(y) * width + x] != label)
                continue;
            const int values[8] = {x, -x, y, -y, x + y, -(x + y), x - y, -(x - y)};
            for (int i = 0; i < 8; ++i)
                if (!any || values[i] < key[i]) {
                    key[i] = values[i];
                    ext[i][0] = x;
                    ext[i][1] = y;
                }
            any = true;
        }
    if (!any)
        return -1;
    const int tolerance = std::max(d / 5, 1);
    for (auto &p : ext) {
        const double dx = p[0] - cx;
        const double dy = p[1] - cy;
        const int radius = int(std::sqrt(dx * dx + dy * dy));
        if (std::abs(radius - d / 2) > tolerance)
            return -1;
    }
    const double ratio = double(bw * bh) / double(count);
    if (ratio < 1.17 || ratio > 1.37)
        return -1;
    qDebug().noquote() << QString::asprintf("RATIO: %lf", ratio);

    record->x = cx;
    record->y = cy;
    record->d = d;
    if (cx < 10 || cx > width - 10 || cy < 10 || cy > height - 10) {
        record->x = record->y = record->d = 0;
        return -1;
    }
    return 0;
}

int markFindAccept(const uint8_t *binary, int width, int height, int x, int y, int d, int label)
{
    constexpr double sqrt2 = 1.4142135623730951;
    const int r = d / 2;
    const int s = int(int(r * sqrt2 - r) / sqrt2);
    const int limit = s * s / 4;
    const int corners[4][2] = {{x - r, y - r}, {x + r - s, y - r}, {x - r, y + r - s}, {x + r - s, y + r - s}};
    for (const auto &c : corners) {
        int inside = 0;
        for (int yy = std::max(c[1], 0); yy < std::min(c[1] + s, height); ++yy)
            for (int xx = std::max(c[0], 0); xx < std::min(c[0] + s, width); ++xx)
                if (binary[size_t(yy) * width + xx] == label)
                    ++inside;
        if (inside > limit)
            return -1;
    }
    qDebug().noquote() << QString::asprintf("<---OK---> X: %d Y: %d D: %d", x, y, d);
    return 0;
}

int markFindWindow(int width, int maxD)
{
    for (int k = 1; k <= 8; ++k) {
        const int s2 = width >> k;
        if (s2 < maxD)
            return s2;
    }
    return width >> 8;
}

int markFind(const uint8_t *grey, uint8_t *smoothed, uint8_t *intermediate, uint8_t *binary,
             int width, int height, MarkRecord *records, int n)
{
    if (!records || n < 1 || width <= 0 || height <= 0)
        return 0;
    for (int i = 1; i < n; ++i) {
        records[i].minD = records[0].minD;
        records[i].maxD = records[0].maxD;
    }
    const int s2 = markFindWindow(width, records[0].maxD);
    qDebug().noquote() << QString::asprintf("s2: %d", s2);
    if (markFindGauss(grey, smoothed, width, height, 5) != 0)
        return 0;

    for (int t = 5; t < 15; t += 5) {
        markFindThreshold(smoothed, binary, width, height, s2, t);
        markFindPassV(binary, intermediate, width, height);
        markFindPassH(intermediate, binary, width, height);

        int found = 0;
        int label = kFirstLabel;
        const int rings = std::max(width, height) / 2;
        // Returns 1 when the search ends (enough marks or labels exhausted).
        auto visit = [&](int x, int y) -> int {
            if (x < 0 || y < 0 || x >= width || y >= height)
                return 0;
            if (binary[size_t(y) * width + x] != 255)
                return 0;
            if (label > kLastLabel)
                return 1;
            int bx = 0, by = 0, bw = 0, bh = 0;
            const int count = markFindRegion(binary, width, height, x, y, label, &bx, &by, &bw, &bh);
            if (count > 0
                && markFindCircleRatio(binary, width, height, count, label, bx, by, bw, bh, &records[found]) == 0
                && markFindAccept(binary, width, height, records[found].x, records[found].y,
                                  records[found].d, label) == 0) {
                ++found;
                if (found == n)
                    return 1;
            }
            ++label;
            return 0;
        };
        for (int k = 1; k <= rings; ++k) {
            const int x0 = width / 2 - k;
            const int y0 = height / 2 - k;
            const int e = 2 * k - 1;
            for (int x = x0; x <= x0 + e - 1; ++x)
                if (visit(x, y0)) return found;
            for (int y = y0; y <= y0 + e - 1; ++y)
                if (visit(x0 + e, y)) return found;
            for (int x = x0 + e; x >= x0 + 1; --x)
                if (visit(x, y0 + e)) return found;
            for (int y = y0 + e; y >= y0 + 1; --y)
                if (visit(x0, y)) return found;
        }
        if (found > 0)
            return found;
    }
    return 0;
}

int findMarks(int d, const QImage &picture, MarkRecord *records, int n)
{
    if (!records || n < 1)
        return 0;
    records[0].minD = int(d * 0.9);
    records[0].maxD = int(d * 1.1);
    if (picture.isNull())
        return 0;
    const int width = picture.width();
    const int height = picture.height();
    if (qint64(width) * height > kMaxPixels) {
        qCritical() << "findMarks" << "picture too large" << picture.size();
        return 0;
    }
    const QImage rgb = picture.format() == QImage::Format_RGB888
        ? picture : picture.convertToFormat(QImage::Format_RGB888);
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<uint8_t> packed(pixels * 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(rgb.constScanLine(y), size_t(width) * 3, packed.data() + size_t(y) * width * 3);
    std::vector<uint8_t> grey(pixels), smoothed(pixels), intermediate(pixels), binary(pixels);
    markFindGray(packed.data(), grey.data(), width, height);
    return markFind(grey.data(), smoothed.data(), intermediate.data(), binary.data(), width, height,
                    records, n);
}


MarkLocateResult locateMark(const QImage &picture, const MarkLocateParams &params)
{
    // The crop copied out of the capture, as it was.
    return locateMarkWith(picture, params, [](int d, const QImage &img, const QRect &area, MarkRecord *records, int n) {
        return reference::findMarks(d, area == img.rect() ? img : img.copy(area), records, n);
    });
}

} // namespace reference
