#include "vision/mark_finder.h"

#include <QDebug>
#include <QImage>
#include <QRect>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// The vectorised loops also in an AVX2 build, picked at load time where the
// processor has it (no FMA: the sums keep their roundings).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define MARK_FINDER_WIDE __attribute__((target_clones("avx2", "default")))
#else
#define MARK_FINDER_WIDE
#endif

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

// The grey of a summed linear value, as first defined: a power per pixel.
int greyOfSum(float sum)
{
    const float v = std::pow(sum, 0.45454544f) * 255.0f;
    return std::min(255, int(v));
}

// The same answer without the power: cut[g] is the smallest sum whose grey is
// at least g, found once by bisection over the float bit patterns (the grey
// never falls as the sum grows). A sum's bucket is picked by its float bits
// (512 per octave, so buckets are fine where the grey climbs fastest, near
// black) and holds the grey at its lower edge with the next cut; no bucket
// holds more than one cut, so a pixel is one comparison past its start.
struct GreyCuts
{
    static constexpr int kShift = 23 - 8;                  // 256 buckets per octave
    static constexpr uint32_t kBase = (127u - 24u) << 23;  // 2^-24: grey 0 below
    static constexpr uint32_t kTop = 128u << 23;           // 2.0: sums stay below
    static constexpr int kBuckets = int((kTop - kBase) >> kShift);
    struct Bucket
    {
        float next; // the cut after the grey at the lower edge
        int grey;
    };
    float cut[257];
    Bucket start[kBuckets];
    bool oneStep = true;
    GreyCuts()
    {
        cut[0] = 0.0f;
        for (int g = 1; g <= 255; ++g) {
            uint32_t lo = 0, hi = kTop; // greyOfSum(2.0) is 255
            while (lo < hi) {
                const uint32_t mid = lo + (hi - lo) / 2;
                if (greyOfSum(bitsFloat(mid)) >= g)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            cut[g] = bitsFloat(lo);
        }
        cut[256] = std::numeric_limits<float>::infinity();
        int g = 0;
        for (int b = 0; b < kBuckets; ++b) {
            const float lower = bitsFloat(kBase + (uint32_t(b) << kShift));
            const float upper = bitsFloat(kBase + (uint32_t(b + 1) << kShift));
            while (g < 255 && cut[g + 1] <= lower)
                ++g;
            start[b] = {cut[g + 1], g};
            // A second cut inside the bucket would need a second step.
            if (g < 254 && cut[g + 2] < upper)
                oneStep = false;
        }
        // Below the first bucket every sum is grey 0, which needs the same.
        if (cut[1] < bitsFloat(kBase))
            oneStep = false;
    }
    int grey(float sum) const
    {
        // Sums stay below 2 (the weights add up to 1): only the bottom is clamped.
        const uint32_t bits = std::max(floatBits(sum), kBase);
        const Bucket &b = start[(bits - kBase) >> kShift];
        if (oneStep)
            return b.grey + int(sum >= b.next);
        int walked = b.grey;
        while (sum >= cut[walked + 1])
            ++walked;
        return walked;
    }
    static uint32_t floatBits(float f)
    {
        uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        return u;
    }
    static float bitsFloat(uint32_t u)
    {
        float f;
        std::memcpy(&f, &u, sizeof f);
        return f;
    }
};

const GreyCuts &greyCuts()
{
    static const GreyCuts cuts;
    return cuts;
}

// Pixels of step bytes with R, G and B at the offsets given.
struct PixelLayout
{
    int step;
    int r;
    int g;
    int b;
};

template<typename RowOf>
void greyRows(RowOf rowOf, PixelLayout layout, uint8_t *grey, int width, int height)
{
    const GreyTables &t = greyTables();
    const GreyCuts &c = greyCuts();
    for (int y = 0; y < height; ++y) {
        const uint8_t *p = rowOf(y);
        uint8_t *dst = grey + size_t(y) * width;
        for (int x = 0; x < width; ++x, p += layout.step)
            dst[x] = uint8_t(c.grey(t.r[p[layout.r]] + t.g[p[layout.g]] + t.b[p[layout.b]]));
    }
}

constexpr PixelLayout kRgb888{3, 0, 1, 2};
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr PixelLayout kRgb32{4, 2, 1, 0};
#else
constexpr PixelLayout kRgb32{4, 1, 2, 3};
#endif

} // namespace

namespace {

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define MARK_FINDER_GATHER 1
// Eight 32-bit pixels (B, G, R, A in memory) at a time with AVX2 gathers:
// the same table sums in the same order, the same bucket and cut. Returns
// how many pixels it did (a multiple of eight); the rest are left.
__attribute__((target("avx2"))) int greyRow32Wide(const uint8_t *bgra, uint8_t *grey, int n)
{
    const GreyTables &t = greyTables();
    const GreyCuts &c = greyCuts();
    const __m256i byte = _mm256_set1_epi32(0xff);
    const __m256i base = _mm256_set1_epi32(int(GreyCuts::kBase));
    const auto *next = reinterpret_cast<const float *>(c.start);
    const auto *level = reinterpret_cast<const int *>(c.start) + 1;
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bgra + size_t(x) * 4));
        const __m256i b = _mm256_and_si256(px, byte);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byte);
        const __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byte);
        const __m256 sum = _mm256_add_ps(_mm256_add_ps(_mm256_i32gather_ps(t.r, r, 4), _mm256_i32gather_ps(t.g, g, 4)),
                                         _mm256_i32gather_ps(t.b, b, 4));
        const __m256i bits = _mm256_max_epu32(_mm256_castps_si256(sum), base);
        const __m256i bucket = _mm256_srli_epi32(_mm256_sub_epi32(bits, base), GreyCuts::kShift);
        const __m256 cut = _mm256_i32gather_ps(next, bucket, sizeof(GreyCuts::Bucket));
        const __m256i up = _mm256_castps_si256(_mm256_cmp_ps(sum, cut, _CMP_GE_OQ));
        const __m256i value = _mm256_sub_epi32(_mm256_i32gather_epi32(level, bucket, sizeof(GreyCuts::Bucket)), up);
        const __m256i words = _mm256_packus_epi32(value, value);
        const __m256i bytes = _mm256_packus_epi16(words, words);
        const uint32_t low = uint32_t(_mm256_extract_epi32(bytes, 0));
        const uint32_t high = uint32_t(_mm256_extract_epi32(bytes, 4));
        std::memcpy(grey + x, &low, 4);
        std::memcpy(grey + x + 4, &high, 4);
    }
    return x;
}
#endif

// One row of 32-bit pixels: eight at a time where the processor can.
void greyRow32(const uint8_t *bgra, uint8_t *grey, int n)
{
    int done = 0;
#ifdef MARK_FINDER_GATHER
    static const bool wide = __builtin_cpu_supports("avx2") && greyCuts().oneStep;
    if (wide && Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        done = greyRow32Wide(bgra, grey, n);
#endif
    greyRows([bgra, done](int) { return bgra + size_t(done) * 4; }, kRgb32, grey + done, n - done, 1);
}

} // namespace

void markFindGray32(const uint8_t *bgra, uint8_t *grey, int width, int height)
{
    for (int y = 0; y < height; ++y)
        greyRow32(bgra + size_t(y) * width * 4, grey + size_t(y) * width, width);
}

void markFindGray(const uint8_t *rgb, uint8_t *grey, int width, int height)
{
    greyRows([rgb, width](int y) { return rgb + size_t(y) * width * 3; }, kRgb888, grey, width, height);
}

namespace {

// Scratch memory kept by the calling thread between calls: a scan allocates
// nothing per picture (and takes no fresh pages from the system).
template<typename T>
T *scratch(std::vector<T> &buffer, size_t n)
{
    if (buffer.size() < n)
        buffer.resize(n);
    return buffer.data();
}

struct GaussKernel
{
    int size = 0;
    int half = 0;
    std::vector<double> full; // the defined size x size weights, normalised
    uint8_t flat[256];        // the defined answer for a window of one level

    explicit GaussKernel(int n)
        : size(n)
        , half(n / 2)
        , full(size_t(n) * size_t(n))
    {
        double total = 0.0;
        for (int dy = -half; dy <= half; ++dy)
            for (int dx = -half; dx <= half; ++dx) {
                const double v = std::exp(-(dx * dx + dy * dy) * 0.5);
                full[size_t(dy + half) * size + (dx + half)] = v;
                total += v;
            }
        for (double &v : full)
            v /= total;
        std::vector<uint8_t> window(size_t(size) * size_t(size));
        for (int v = 0; v < 256; ++v) {
            std::fill(window.begin(), window.end(), uint8_t(v));
            flat[v] = uint8_t(exactSum(window.data() + size_t(half) * size + half, size_t(size)));
        }
    }

    // The defined sum, term by term in its order.
    double exactSum(const uint8_t *centre, size_t stride) const
    {
        double sum = 0.0;
        for (int dy = -half; dy <= half; ++dy) {
            const uint8_t *row = centre + ptrdiff_t(dy) * ptrdiff_t(stride);
            const double *krow = &full[size_t(dy + half) * size + half];
            for (int dx = -half; dx <= half; ++dx)
                sum += krow[dx] * row[dx];
        }
        return sum;
    }

    // The defined answer at one pixel: a flat window by table.
    uint8_t exact(const uint8_t *centre, size_t stride) const
    {
        for (int dy = -half; dy <= half; ++dy) {
            const uint8_t *row = centre + ptrdiff_t(dy) * ptrdiff_t(stride);
            for (int dx = -half; dx <= half; ++dx)
                if (row[dx] != *centre)
                    return uint8_t(exactSum(centre, stride));
        }
        return flat[*centre];
    }
};

// The 5 x 5 smoothing as two 1-D passes in single precision:
// exp(-(dx^2 + dy^2) / 2) is the product of a row and a column weight. The
// passes differ from the defined 25-term double sum by less than 2e-4 (ten
// roundings of values below 256 at 6e-8 relative), so wherever the value is
// more than 1e-3 from a whole number both truncate alike; the few that are
// not take the defined sum.
// Marks the pixels of row y whose 5 x 5 window holds one level only (1, else
// 0): 25 byte comparisons a pixel, many pixels at once. Clean or over-exposed
// paper is mostly such windows.
MARK_FINDER_WIDE void flatWindows(const uint8_t *in, size_t w, int y, uint8_t *flat)
{
    const uint8_t *r0 = in + size_t(y - 2) * w;
    const uint8_t *r1 = r0 + w;
    const uint8_t *r2 = r1 + w;
    const uint8_t *r3 = r2 + w;
    const uint8_t *r4 = r3 + w;
    auto same = [](const uint8_t *r, size_t x, uint8_t c) {
        return uint8_t((r[x - 2] == c) & (r[x - 1] == c) & (r[x] == c) & (r[x + 1] == c) & (r[x + 2] == c));
    };
    for (size_t x = 2; x < w - 2; ++x) {
        const uint8_t c = r2[x];
        flat[x] = same(r0, x, c) & same(r1, x, c) & same(r2, x, c) & same(r3, x, c) & same(r4, x, c);
    }
    flat[w - 2] = 0; // stops a stretch at the row's end
}

MARK_FINDER_WIDE void gaussFive(const GaussKernel &kernel, const uint8_t *in, uint8_t *out, int width, int height)
{
    constexpr int kSize = 5;
    constexpr int kHalf = 2;
    constexpr float kNear = 1e-3f;
    // The column weight carries the normalisation: the full kernel's total
    // is the square of the row weights' sum.
    float rowWeight[kSize], colWeight[kSize];
    double rowTotal = 0.0;
    for (int d = -kHalf; d <= kHalf; ++d)
        rowTotal += std::exp(-(d * d) * 0.5);
    for (int d = -kHalf; d <= kHalf; ++d) {
        const double e = std::exp(-(d * d) * 0.5);
        rowWeight[d + kHalf] = float(e);
        colWeight[d + kHalf] = float(e / (rowTotal * rowTotal));
    }
    thread_local std::vector<float> ringBuffer, rowBuffer, sumBuffer;
    thread_local std::vector<uint8_t> flagBuffer, flatBuffer;
    const size_t w = size_t(width);
    float *ring = scratch(ringBuffer, kSize * w);
    float *rowIn = scratch(rowBuffer, w);
    float *sums = scratch(sumBuffer, w);
    uint8_t *flags = scratch(flagBuffer, w);
    uint8_t *flat = scratch(flatBuffer, w);

    auto rowPass = [&](int y) {
        const uint8_t *src = in + size_t(y) * w;
        float *dst = ring + size_t(y % kSize) * w;
        for (size_t x = 0; x < w; ++x)
            rowIn[x] = float(src[x]);
        for (size_t x = kHalf; x < w - kHalf; ++x)
            dst[x] = rowWeight[0] * rowIn[x - 2] + rowWeight[1] * rowIn[x - 1] + rowWeight[2] * rowIn[x]
                     + rowWeight[3] * rowIn[x + 1] + rowWeight[4] * rowIn[x + 2];
    };
    for (int y = 0; y < kSize - 1; ++y)
        rowPass(y);
    for (int y = kHalf; y < height - kHalf; ++y) {
        rowPass(y + kHalf);
        const float *h0 = ring + size_t((y - 2) % kSize) * w;
        const float *h1 = ring + size_t((y - 1) % kSize) * w;
        const float *h2 = ring + size_t(y % kSize) * w;
        const float *h3 = ring + size_t((y + 1) % kSize) * w;
        const float *h4 = ring + size_t((y + 2) % kSize) * w;
        for (size_t x = kHalf; x < w - kHalf; ++x)
            sums[x] = colWeight[0] * h0[x] + colWeight[1] * h1[x] + colWeight[2] * h2[x] + colWeight[3] * h3[x]
                      + colWeight[4] * h4[x];
        uint8_t *dst = out + size_t(y) * w;
        for (size_t x = kHalf; x < w - kHalf; ++x) {
            const int whole = int(sums[x]);
            const float frac = sums[x] - float(whole);
            dst[x] = uint8_t(whole);
            flags[x] = (frac < kNear) | (frac > 1.0f - kNear);
        }
        const uint8_t *src = in + size_t(y) * w;
        const uint8_t *end = flags + (w - kHalf);
        bool flatKnown = false;
        for (const uint8_t *f = flags + kHalf; f < end; ++f) {
            f = static_cast<const uint8_t *>(std::memchr(f, 1, size_t(end - f)));
            if (!f)
                break;
            const size_t x = size_t(f - flags);
            if (!flatKnown) {
                flatWindows(in, w, y, flat);
                flatKnown = true;
            }
            if (!flat[x]) {
                dst[x] = kernel.exact(src + x, w);
                continue;
            }
            // Neighbouring flat windows overlap, so hold one level: the
            // stretch takes the table's answer at once.
            const auto *stop = static_cast<const uint8_t *>(std::memchr(flat + x, 0, w - kHalf + 1 - x));
            const size_t last = size_t(stop - flat);
            std::memset(dst + x, kernel.flat[src[x]], last - x);
            f = flags + last - 1;
        }
    }
}

} // namespace

int markFindGauss(const uint8_t *in, uint8_t *out, int width, int height, int size)
{
    if (size % 2 == 0 || size < 1)
        return -1;
    std::unique_ptr<GaussKernel> made;
    try {
        made = std::make_unique<GaussKernel>(size);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    static const GaussKernel five(5);
    const GaussKernel &kernel = size == 5 ? five : *made;
    std::copy(in, in + size_t(width) * size_t(height), out);
    if (width < size || height < size)
        return 0;
    if (size == 5) {
        gaussFive(kernel, in, out, width, height);
        return 0;
    }
    // Other sizes (not used by the search) as defined.
    const int half = size / 2;
    for (int y = half; y < height - half; ++y)
        for (int x = half; x < width - half; ++x)
            out[size_t(y) * width + x] = uint8_t(kernel.exactSum(in + size_t(y) * width + x, size_t(width)));
    return 0;
}

MARK_FINDER_WIDE void markFindThreshold(const uint8_t *in, uint8_t *out, int width, int height, int s2, int t)
{
    thread_local std::vector<uint32_t> integralBuffer;
    uint32_t *integral = scratch(integralBuffer, size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        uint32_t rowSum = 0;
        const uint32_t *above = y > 0 ? integral + size_t(y - 1) * width : nullptr;
        uint32_t *cells = integral + size_t(y) * width;
        const uint8_t *src = in + size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            rowSum += src[x];
            cells[x] = rowSum;
        }
        if (above)
            for (int x = 0; x < width; ++x)
                cells[x] += above[x];
    }
    // pixel x count > floor(sum x keep / 100) is, in whole numbers,
    // 100 x pixel x count > sum x keep: no division per pixel. Neither side
    // can wrap in 64 bits (count and sum stay below 2^32 / 255 and 2^32);
    // with windows of under 2^32 / 25500 pixels, not even in 32 bits.
    const bool exactForm = t >= 0 && t <= 100 && s2 >= 0;
    const uint64_t maxCount = uint64_t(std::min(2 * s2, std::max(width - 1, 0)))
        * uint64_t(std::min(2 * s2, std::max(height - 1, 0)));
    const bool narrow = exactForm && maxCount * 25500 < (uint64_t(1) << 32);
    const uint32_t keep = uint32_t(100 - t);
    for (int y = 0; y < height; ++y) {
        const int y1 = std::max(y - s2, 0);
        const int y2 = std::min(y + s2, height - 1);
        const uint32_t *top = integral + size_t(y1) * width;
        const uint32_t *bottom = integral + size_t(y2) * width;
        const uint8_t *src = in + size_t(y) * width;
        uint8_t *dst = out + size_t(y) * width;
        const uint32_t rows = uint32_t(y2 - y1);
        if (!narrow) {
            for (int x = 0; x < width; ++x) {
                const int x1 = std::max(x - s2, 0);
                const int x2 = std::min(x + s2, width - 1);
                const uint32_t count = uint32_t(x2 - x1) * rows;
                const uint32_t sum = bottom[x2] - bottom[x1] - top[x2] + top[x1];
                bool dark;
                if (exactForm) {
                    dark = 100 * uint64_t(src[x]) * count > uint64_t(sum) * keep;
                } else {
                    // 64-bit products: the same answer as 32-bit ones wherever
                    // those do not wrap, and a sound one for large windows.
                    dark = uint64_t(src[x]) * count > uint64_t(sum) * uint64_t(100 - t) / 100;
                }
                dst[x] = dark ? 0 : 255;
            }
            continue;
        }
        // Along a row the window's left edge is 0 or x - s2 and its right
        // edge x + s2 or the last column: three stretches in which both move
        // with x or stand still, each a plain loop over contiguous cells.
        auto stretch = [&](int from, int to, auto leftMoves, auto rightMoves) {
            for (int x = from; x < to; ++x) {
                const int x1 = decltype(leftMoves)::value ? x - s2 : 0;
                const int x2 = decltype(rightMoves)::value ? x + s2 : width - 1;
                const uint32_t count = uint32_t(x2 - x1) * rows;
                const uint32_t sum = bottom[x2] - bottom[x1] - top[x2] + top[x1];
                dst[x] = 100 * uint32_t(src[x]) * count > sum * keep ? 0 : 255;
            }
        };
        using Moves = std::true_type;
        using Stands = std::false_type;
        const int a = std::min(s2, width);          // x < a: left edge at 0
        const int b = std::max(width - s2, 0);      // x >= b: right edge last
        if (a <= b) {
            stretch(0, a, Stands(), Moves());
            stretch(a, b, Moves(), Moves());
            stretch(b, width, Moves(), Stands());
        } else {
            stretch(0, b, Stands(), Moves());
            stretch(b, a, Stands(), Stands());
            stretch(a, width, Moves(), Stands());
        }
    }
}

namespace {

// A 3 x 3 window clipped to the picture is a rectangle, so its minimum (or
// maximum) is the column pass's over the row pass's.
template<typename Pick>
void separable3x3(const uint8_t *in, uint8_t *out, int width, int height, Pick pick)
{
    if (width <= 0 || height <= 0)
        return;
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uint8_t *a = in + size_t(std::max(y - 1, 0)) * width;
        const uint8_t *b = in + size_t(y) * width;
        const uint8_t *c = in + size_t(std::min(y + 1, height - 1)) * width;
        for (int x = 0; x < width; ++x)
            row[size_t(x)] = pick(pick(a[x], b[x]), c[x]);
        uint8_t *dst = out + size_t(y) * width;
        if (width == 1) {
            dst[0] = row[0];
            continue;
        }
        dst[0] = pick(row[0], row[1]);
        for (int x = 1; x < width - 1; ++x)
            dst[x] = pick(pick(row[size_t(x - 1)], row[size_t(x)]), row[size_t(x + 1)]);
        dst[width - 1] = pick(row[size_t(width - 2)], row[size_t(width - 1)]);
    }
}

} // namespace

MARK_FINDER_WIDE void markFindPassV(const uint8_t *in, uint8_t *out, int width, int height)
{
    // Stays 255 only when no pixel of the window is 0.
    separable3x3(in, out, width, height, [](uint8_t a, uint8_t b) { return std::min(a, b); });
    for (size_t i = 0, n = size_t(std::max(width, 0)) * size_t(std::max(height, 0)); i < n; ++i)
        out[i] = out[i] != 0 ? 255 : 0;
}

MARK_FINDER_WIDE void markFindPassH(const uint8_t *in, uint8_t *out, int width, int height)
{
    // Becomes 255 when any pixel of the window is 255.
    separable3x3(in, out, width, height, [](uint8_t a, uint8_t b) { return std::max(a, b); });
    for (size_t i = 0, n = size_t(std::max(width, 0)) * size_t(std::max(height, 0)); i < n; ++i)
        out[i] = out[i] == 255 ? 255 : 0;
}

// The repeated raster scans of the definition label exactly the 8-connected
// 255 pixels reachable from the seed (clamped neighbours are neighbours or the
// pixel itself); one scanline flood fill labels the same set, visiting each
// pixel about once. Each labelled run is as long as the 255 pixels allow, so
// only the rows above and below it, one pixel wider each side, can hold
// more. The label must not be in the picture already, as in the search, where
// each seed gets a new one.
int markFindRegion(uint8_t *binary, int width, int height, int seedX, int seedY, int label,
                   int *bx, int *by, int *bw, int *bh)
{
    if (label < kFirstLabel || label > kLastLabel)
        return 0;
    const uint8_t mark = uint8_t(label);
    int count = 0;
    int left = seedX, right = seedX, top = seedY, bottom = seedY;
    struct Run
    {
        int y, from, to;
    };
    thread_local std::vector<Run> stack;
    stack.clear();
    // Labels the run of 255 pixels through (x, y) (the seed whatever it holds).
    auto labelRun = [&](uint8_t *row, int x, int y) {
        int from = x, to = x;
        while (from > 0 && row[from - 1] == 255)
            --from;
        while (to < width - 1 && row[to + 1] == 255)
            ++to;
        std::fill(row + from, row + to + 1, mark);
        count += to - from + 1;
        left = std::min(left, from);
        right = std::max(right, to);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        stack.push_back({y, from, to});
        return to;
    };
    labelRun(binary + size_t(seedY) * width, seedX, seedY);
    while (!stack.empty()) {
        const Run run = stack.back();
        stack.pop_back();
        for (int ny : {run.y - 1, run.y + 1}) {
            if (ny < 0 || ny >= height)
                continue;
            uint8_t *row = binary + size_t(ny) * width;
            const int last = std::min(run.to + 1, width - 1);
            // The next unlabelled pixel found by the library's wide search.
            for (int x = std::max(run.from - 1, 0); x <= last; ++x) {
                const void *at = std::memchr(row + x, 255, size_t(last - x + 1));
                if (!at)
                    break;
                x = labelRun(row, int(static_cast<const uint8_t *>(at) - row), ny);
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
        // Called for pixels inside the picture only; returns 1 when the
        // search ends (enough marks or labels exhausted).
        auto visit = [&](int x, int y) -> int {
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
        // Each ring's four sides in order, clipped to the picture.
        for (int k = 1; k <= rings; ++k) {
            const int x0 = width / 2 - k;
            const int y0 = height / 2 - k;
            const int e = 2 * k - 1;
            if (y0 >= 0 && y0 < height)
                for (int x = std::max(x0, 0); x <= std::min(x0 + e - 1, width - 1); ++x)
                    if (visit(x, y0)) return found;
            if (x0 + e >= 0 && x0 + e < width)
                for (int y = std::max(y0, 0); y <= std::min(y0 + e - 1, height - 1); ++y)
                    if (visit(x0 + e, y)) return found;
            if (y0 + e >= 0 && y0 + e < height)
                for (int x = std::min(x0 + e, width - 1); x >= std::max(x0 + 1, 0); --x)
                    if (visit(x, y0 + e)) return found;
            if (x0 >= 0 && x0 < width)
                for (int y = std::min(y0 + e, height - 1); y >= std::max(y0 + 1, 0); --y)
                    if (visit(x0, y)) return found;
        }
        if (found > 0)
            return found;
    }
    return 0;
}

namespace {

// The grey of an area of a 32-bit picture read in place; pixels outside the
// picture are black, as in a copy of the area.
void greyArea(const QImage &picture, const QRect &area, uint8_t *grey)
{
    thread_local std::vector<uint8_t> rowBuffer;
    uint8_t *near = scratch(rowBuffer, size_t(area.width()) * 4);
    const GreyTables &t = greyTables();
    const uint8_t black = uint8_t(greyCuts().grey(t.r[0] + t.g[0] + t.b[0]));
    const int width = area.width();
    const int from = std::clamp(-area.x(), 0, width);
    const int to = std::clamp(picture.width() - area.x(), from, width);
    for (int y = 0; y < area.height(); ++y) {
        uint8_t *dst = grey + size_t(y) * width;
        const int sy = area.y() + y;
        if (sy < 0 || sy >= picture.height() || from == to) {
            std::memset(dst, black, size_t(width));
            continue;
        }
        std::memset(dst, black, size_t(from));
        std::memset(dst + to, black, size_t(width - to));
        const uint8_t *row = picture.constScanLine(sy) + ptrdiff_t(area.x() + from) * 4;
        // The capture is large and cold: a row is copied at full speed
        // first, then read pixel by pixel while it is near.
        std::memcpy(near, row, size_t(to - from) * 4);
        greyRow32(near, dst + from, to - from);
    }
}

} // namespace

int findMarks(int d, const QImage &picture, MarkRecord *records, int n)
{
    return findMarksIn(d, picture, picture.rect(), records, n);
}

int findMarksIn(int d, const QImage &picture, const QRect &area, MarkRecord *records, int n)
{
    if (!records || n < 1)
        return 0;
    records[0].minD = int(d * 0.9);
    records[0].maxD = int(d * 1.1);
    if (picture.isNull() || area.isEmpty())
        return 0;
    const int width = area.width();
    const int height = area.height();
    if (qint64(width) * height > kMaxPixels) {
        qCritical() << "findMarks" << "picture too large" << area.size();
        return 0;
    }
    // The four working pictures, kept by the thread between calls.
    const size_t pixels = size_t(width) * size_t(height);
    thread_local std::vector<uint8_t> buffers;
    uint8_t *grey = scratch(buffers, 4 * pixels);
    uint8_t *smoothed = grey + pixels, *intermediate = smoothed + pixels, *binary = intermediate + pixels;
    // Read R, G, B where they lie, as the 24-bit conversion would give them
    // (the alpha of ARGB32 dropped); other formats through that conversion.
    const QImage::Format format = picture.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32) {
        greyArea(picture, area, grey);
    } else {
        const QImage part = area == picture.rect() ? picture : picture.copy(area);
        const QImage rgb = part.format() == QImage::Format_RGB888 ? part : part.convertToFormat(QImage::Format_RGB888);
        greyRows([&rgb](int y) { return rgb.constScanLine(y); }, kRgb888, grey, width, height);
    }
    return markFind(grey, smoothed, intermediate, binary, width, height, records, n);
}
