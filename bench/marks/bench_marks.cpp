// Mark scan per 1280 x 1024 mark-camera picture (reduce, search, refine),
// interleaved with an OpenCV connected-components baseline and with the plain
// finder it replaced, on the same pictures, plain and with 60 other shapes;
// then QR page-code decoding with and without a code (Google Benchmark).
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
};

std::vector<Input> pictures(int extraShapes)
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
        p.noiseSigma = 8;
        p.seed = i + 1;
        Input in;
        in.picture = synth::render(p);
        in.centre = c;
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

// Baseline: grey, Otsu threshold, connected components, the round component
// of the right size nearest the centre.
QPointF openCvMark(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()), rgb.bytesPerLine());
    cv::Mat grey, bin, labels, stats, centroids;
    cv::cvtColor(view, grey, cv::COLOR_RGB2GRAY);
    cv::threshold(grey, bin, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    const int n = cv::connectedComponentsWithStats(bin, labels, stats, centroids, 8);
    double best = 1e18;
    QPointF found;
    for (int k = 1; k < n; ++k) {
        const int w = stats.at<int>(k, cv::CC_STAT_WIDTH), h = stats.at<int>(k, cv::CC_STAT_HEIGHT);
        const double fill = double(w) * h / stats.at<int>(k, cv::CC_STAT_AREA);
        if (w < 126 || w > 154 || std::abs(w - h) > 28 || fill < 1.17 || fill > 1.37)
            continue;
        const QPointF c(centroids.at<double>(k, 0), centroids.at<double>(k, 1));
        const double dist = std::hypot(c.x() - 640, c.y() - 512);
        if (dist < best) {
            best = dist;
            found = c;
        }
    }
    return found;
}

void markScanRows()
{
    for (int extra : {0, 60}) {
        const std::vector<Input> list = pictures(extra);
        const std::string tag = extra ? " (+60 shapes)" : "";
        auto fast = [&](size_t i) { return sameAnswer(locateMark(list[i].picture, {}), list[i].answer); };
        const bench::Comparison cv = bench::interleave(list.size(), 24, 2, fast, [&](size_t i) {
            const QPointF c = openCvMark(list[i].picture);
            return std::hypot(c.x() - list[i].centre.x(), c.y() - list[i].centre.y()) < 8.0;
        });
        const bench::Comparison plain = bench::interleave(list.size(), 4, 1, fast, [&](size_t i) {
            return sameAnswer(reference::locateMark(list[i].picture, {}), list[i].answer);
        });
        const double p50 = cv.measured.p50;
        bench::row("mark scan 1280x1024 p50" + tag, p50, "ms", "<= 1 ms, <= 2x baseline", cv.baseline.p50,
                   "OpenCV components", p50 <= 1.0 && p50 <= 2.0 * cv.baseline.p50);
        bench::row("mark scan 1280x1024 p99" + tag, cv.measured.p99, "ms", "(reported)", cv.baseline.p99,
                   "OpenCV components", true);
        bench::row("mark scan 1280x1024 p50" + tag, plain.measured.p50, "ms", "(vs plain code)", plain.baseline.p50,
                   "plain finder", plain.measured.p50 < plain.baseline.p50);
        bench::row("mark scan 1280x1024 p50, thread CPU" + tag, plain.measuredCpu.p50, "ms", "<= 1 ms",
                   plain.baselineCpu.p50, "plain finder", plain.measuredCpu.p50 <= 1.0);
    }
}

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(q * v.size()))];
}

void BM_QrPageCode(benchmark::State &state)
{
    const bool withCode = state.range(0) != 0;
    const bool region = state.range(1) != 0;
    std::vector<QImage> list;
    if (withCode) {
        for (const Input &in : pictures(0))
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
    // --profile N: only the fast scan, N rounds over the pictures (for perf).
    if (argc == 3 && std::string(argv[1]) == "--profile") {
        const std::vector<Input> list = pictures(0);
        for (int r = 0; r < std::atoi(argv[2]); ++r)
            for (const Input &in : list)
                benchmark::DoNotOptimize(locateMark(in.picture, {}).position);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    markScanRows();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
