// Mark scan per 1280 x 1024 mark-camera picture (reduce, search, refine) on
// noisy, noise-free and over-exposed paper, interleaved with OpenCV doing the
// same steps and with the plain finder it replaced; then the QR page code
// read on its region beside ZXing-C++ and plain zbar, every answer checked.
#include "vision/mark_finder.h"
#include "vision/mark_locate.h"
#include "vision/page_code.h"
#include "vision/qr_page_code_reader.h"
#include "bench/support/interleaved.h"
#include "tests/support/reference_mark_finder.h"
#include "tests/support/synthetic_marks.h"

#include <QLoggingCategory>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>
#include <zbar.h>
// After zbar.h: ZXing's error macros break its C++ headers.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <string>
#include <cmath>
#include <vector>

namespace {

struct Input
{
    QImage picture;
    QPointF centre;           // the mark, full-resolution pixels
    MarkLocateResult answer;  // the plain finder's
    uint32_t code = 0;        // the page code printed beside it
};

enum class Paper { Noisy, NoiseFree, OverExposed };

std::vector<Input> pictures(Paper paper, int extraShapes)
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QList<synth::Shape> others = {synth::Shape::Square, synth::Shape::Ellipse, synth::Shape::Ring,
                                        synth::Shape::Blob, synth::Shape::Dots, synth::Shape::Bars};
    QRandomGenerator rng(uint32_t(extraShapes + 1));
    std::vector<Input> out;
    for (uint32_t i = 0; i < 16; ++i) {
        synth::Picture p;
        p.size = {1280, 1024};
        const QPointF c(560 + (i % 4) * 60.5, 430 + (i / 4) * 50.25);
        p.marks = {{i % 2 ? synth::Shape::DiskWithTicks : synth::Shape::Disk, c},
                   {synth::Shape::Bars, {200, 200}}, {synth::Shape::Dots, {1000, 800}}};
        for (int k = 0; k < extraShapes;) {
            const QPointF at(40 + rng.bounded(1200), 40 + rng.bounded(944));
            // Farther out than the mark in the search's square rings, and
            // clear of it and its page code: the mark stays the first found.
            auto ring = [](QPointF q) { return std::max(std::abs(q.x() - 640), std::abs(q.y() - 512)); };
            if (ring(at) < ring(c) + 200 || std::hypot(at.x() - c.x(), at.y() - c.y()) < 450)
                continue;
            p.marks.append({others.at(rng.bounded(others.size())), at, 0.8 + rng.bounded(3.0),
                            0.4 + rng.bounded(0.5)});
            ++k;
        }
        p.qrText = pageCodeText(0x1000 + i);
        p.qrTopLeft = synth::qrBesideMark(c, 3.5);
        p.blurSigma = 1.5;
        // Over-exposed paper is clipped to one flat white, noise and all.
        p.noiseSigma = paper == Paper::NoiseFree ? 0 : 8;
        p.exposure = paper == Paper::OverExposed ? 1.4 : 1.0;
        p.seed = i + 1;
        Input in;
        in.picture = synth::render(p);
        in.centre = c;
        in.code = 0x1000 + i;
        in.answer = reference::locateMark(in.picture, {});
        if (in.answer.position.isNull()) {
            std::fprintf(stderr, "picture %u: the plain finder sees no mark\n", i);
            std::exit(2);
        }
        out.push_back(in);
    }
    return out;
}

bool sameAnswer(const MarkLocateResult &a, const MarkLocateResult &b)
{
    return a.position == b.position && a.diameter == b.diameter && a.candidates == b.candidates;
}

// Baseline: the same steps in OpenCV. The reduced picture and the crop are
// views of the capture, grey read straight from its 32-bit pixels; 5 x 5
// Gaussian, local-mean threshold over the same window, 3 x 3 opening,
// connected components, the round one of the expected size nearest the
// centre; then the same again on the full-resolution crop around it.
bool cvSearch(const cv::Mat &bgra, int d, QPointF *centre)
{
    cv::Mat grey, smooth, bin, labels, stats, centroids;
    cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
    cv::GaussianBlur(grey, smooth, cv::Size(5, 5), 1.0);
    const int s2 = markFindWindow(grey.cols, int(d * 1.1));
    cv::adaptiveThreshold(smooth, bin, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 2 * s2 + 1, 10);
    cv::morphologyEx(bin, bin, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    const int n = cv::connectedComponentsWithStats(bin, labels, stats, centroids, 8);
    double best = 1e18;
    for (int k = 1; k < n; ++k) {
        const int w = stats.at<int>(k, cv::CC_STAT_WIDTH), h = stats.at<int>(k, cv::CC_STAT_HEIGHT);
        const double fill = double(w) * h / stats.at<int>(k, cv::CC_STAT_AREA);
        if (w < int(d * 0.9) || w > int(d * 1.1) || std::abs(w - h) > d / 5 || fill < 1.17 || fill > 1.37)
            continue;
        const QPointF c(centroids.at<double>(k, 0), centroids.at<double>(k, 1));
        if (c.x() < 10 || c.y() < 10 || c.x() > bin.cols - 10 || c.y() > bin.rows - 10)
            continue;
        const double dist = std::hypot(c.x() - bin.cols / 2, c.y() - bin.rows / 2);
        if (dist < best) {
            best = dist;
            *centre = c;
        }
    }
    return best < 1e18;
}

QPointF openCvMark(const QImage &picture)
{
    const cv::Mat full(picture.height(), picture.width(), CV_8UC4, const_cast<uchar *>(picture.constBits()),
                       size_t(picture.bytesPerLine()));
    const QSize small = picture.size().scaled(320, 240, Qt::KeepAspectRatio);
    cv::Mat reduced;
    cv::resize(full, reduced, cv::Size(small.width(), small.height()), 0, 0, cv::INTER_NEAREST);
    const double s = double(picture.width()) / small.width();
    QPointF c;
    if (!cvSearch(reduced, int(3.5 * kMarkCameraPixelsPerMm / s), &c))
        return {};
    const cv::Rect crop = cv::Rect(std::max(int(c.x() * s - 150), 0), std::max(int(c.y() * s - 150), 0),
                                   kMarkRefineCrop, kMarkRefineCrop)
        & cv::Rect(0, 0, full.cols, full.rows);
    QPointF refined;
    if (!cvSearch(full(crop), int(3.5 * kMarkCameraPixelsPerMm), &refined))
        return {};
    return refined + QPointF(crop.x, crop.y);
}

void markScanRows()
{
    struct Kind
    {
        Paper paper;
        int extra;
        const char *tag;
    };
    for (const Kind &kind : {Kind{Paper::Noisy, 0, ", noisy paper"}, Kind{Paper::Noisy, 60, ", noisy paper +60 shapes"},
                             Kind{Paper::NoiseFree, 0, ", noise-free paper"},
                             Kind{Paper::OverExposed, 0, ", over-exposed paper"}}) {
        const std::vector<Input> list = pictures(kind.paper, kind.extra);
        const std::string tag = kind.tag;
        // On clean paper the program must also keep pace with OpenCV.
        const bool clean = kind.paper != Paper::Noisy;
        auto fast = [&](size_t i) { return sameAnswer(locateMark(list[i].picture, {}), list[i].answer); };
        const bench::Comparison cv = bench::interleave(list.size(), 24, 2, fast, [&](size_t i) {
            const QPointF c = openCvMark(list[i].picture);
            return std::hypot(c.x() - list[i].centre.x(), c.y() - list[i].centre.y()) < 8.0;
        });
        const bench::Comparison plain = bench::interleave(list.size(), 4, 1, fast, [&](size_t i) {
            return sameAnswer(reference::locateMark(list[i].picture, {}), list[i].answer);
        });
        const double p50 = cv.measured.p50;
        bench::row("mark scan p50" + tag, p50, "ms", clean ? "<= 1 ms, <= 1x baseline" : "<= 1 ms",
                   cv.baseline.p50, "OpenCV same steps", p50 <= 1.0 && (!clean || p50 <= cv.baseline.p50));
        bench::row("mark scan p99" + tag, cv.measured.p99, "ms", "(reported)", cv.baseline.p99, "OpenCV same steps",
                   true);
        bench::row("mark scan p50" + tag, plain.measured.p50, "ms", "(vs plain code)", plain.baseline.p50,
                   "plain finder", plain.measured.p50 < plain.baseline.p50);
        bench::row("mark scan p50, thread CPU" + tag, plain.measuredCpu.p50, "ms", "<= 1 ms",
                   plain.baselineCpu.p50, "plain finder", plain.measuredCpu.p50 <= 1.0);
    }
}

// The page code's grey region of a capture, read straight from its pixels.
cv::Mat greyRegion(const QImage &picture, const QRect &r)
{
    const cv::Mat full(picture.height(), picture.width(), CV_8UC4, const_cast<uchar *>(picture.constBits()),
                       size_t(picture.bytesPerLine()));
    cv::Mat grey;
    cv::cvtColor(full(cv::Rect(r.x(), r.y(), r.width(), r.height())), grey, cv::COLOR_BGRA2GRAY);
    return grey;
}

std::string zxingText(const QImage &picture, const QRect &r)
{
    cv::Mat half;
    cv::resize(greyRegion(picture, r), half, cv::Size(r.width() / 2, r.height() / 2), 0, 0, cv::INTER_AREA);
    const ZXing::ImageView view(half.data, half.cols, half.rows, ZXing::ImageFormat::Lum, int(half.step));
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
    return result.isValid() ? result.text() : std::string();
}

std::string zbarText(zbar::zbar_image_scanner_t *scanner, const QImage &picture, const QRect &r)
{
    const cv::Mat grey = greyRegion(picture, r);
    zbar::zbar_image_t *image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, unsigned(grey.cols), unsigned(grey.rows));
    zbar::zbar_image_set_data(image, grey.data, grey.total(), nullptr);
    std::string text;
    if (zbar::zbar_scan_image(scanner, image) > 0)
        text = zbar::zbar_symbol_get_data(zbar::zbar_image_first_symbol(image));
    zbar::zbar_image_destroy(image);
    return text;
}

// The page code on its region, as the scan reads it beside a found mark.
void qrRows()
{
    const std::vector<Input> list = pictures(Paper::Noisy, 0);
    std::vector<QRect> regions;
    for (const Input &in : list)
        regions.push_back(pageCodeRegion(in.centre, 3.5, in.picture.size()));
    QrPageCodeReader reader;
    auto program = [&](size_t i) {
        const PageCodeRead r = reader.read(list[i].picture, regions[i]);
        return r.code == list[i].code && r.text == pageCodeText(list[i].code);
    };
    const bench::Comparison zx = bench::interleave(list.size(), 12, 1, program, [&](size_t i) {
        return zxingText(list[i].picture, regions[i]) == pageCodeText(list[i].code).toStdString();
    });
    auto *scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    const bench::Comparison zb = bench::interleave(list.size(), 4, 1, program, [&](size_t i) {
        return zbarText(scanner, list[i].picture, regions[i]) == pageCodeText(list[i].code).toStdString();
    });
    zbar::zbar_image_scanner_destroy(scanner);
    bench::row("QR page code on its region p50", zx.measured.p50, "ms", "<= 2 ms", zx.baseline.p50,
               "ZXing-C++ region at half size", zx.measured.p50 <= 2.0);
    bench::row("QR page code on its region p50", zb.measured.p50, "ms", "(reported)", zb.baseline.p50,
               "zbar on the grey region", true);
}

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(q * v.size()))];
}

// The reader on the whole picture and on pictures without a code (reported).
void BM_QrPageCode(benchmark::State &state)
{
    const bool withCode = state.range(0) != 0;
    const bool region = state.range(1) != 0;
    std::vector<QImage> list;
    if (withCode) {
        for (const Input &in : pictures(Paper::Noisy, 0))
            list.push_back(in.picture);
    } else {
        synth::Picture p;
        p.size = {1280, 1024};
        p.marks = {{synth::Shape::Disk, {640, 512}}};
        p.noiseSigma = 8;
        list.push_back(synth::render(p));
    }
    QrPageCodeReader reader;
    std::vector<double> ms;
    size_t i = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const QImage &img = list[i++ % list.size()];
        const PageCodeRead r = reader.read(img, region ? pageCodeRegion({640, 512}, 3.5, img.size()) : QRect());
        benchmark::DoNotOptimize(r.code);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    state.counters["p50_ms"] = percentile(ms, 0.50);
    state.counters["p99_ms"] = percentile(ms, 0.99);
}

} // namespace

BENCHMARK(BM_QrPageCode)->ArgNames({"code", "region"})->Args({1, 0})->Args({1, 1})->Args({0, 0})->Args({0, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(100);

int main(int argc, char **argv)
{
    // --profile N [noisy|clean|bright]: only the fast scan, N rounds over
    // the pictures (for perf).
    if (argc >= 3 && std::string(argv[1]) == "--profile") {
        const std::string paper = argc > 3 ? argv[3] : "noisy";
        const std::vector<Input> list = pictures(
            paper == "clean" ? Paper::NoiseFree : paper == "bright" ? Paper::OverExposed : Paper::Noisy, 0);
        for (int r = 0; r < std::atoi(argv[2]); ++r)
            for (const Input &in : list)
                benchmark::DoNotOptimize(locateMark(in.picture, {}).position);
        return 0;
    }
    // --profile-qr N: only the page-code read on its region, N rounds.
    if (argc == 3 && std::string(argv[1]) == "--profile-qr") {
        const std::vector<Input> list = pictures(Paper::Noisy, 0);
        QrPageCodeReader reader;
        for (int r = 0; r < std::atoi(argv[2]); ++r)
            for (const Input &in : list)
                benchmark::DoNotOptimize(reader.read(in.picture, pageCodeRegion(in.centre, 3.5, in.picture.size())));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    markScanRows();
    qrRows();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
