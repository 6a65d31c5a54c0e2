// Mark finding per 1280 x 1024 mark-camera picture (reduce, search, refine)
// beside an OpenCV connected-components baseline on the same pictures, and
// QR page-code decoding with and without a code. p50/p99 are reported as
// aggregates over repetitions.
#include "vision/mark_locate.h"
#include "vision/page_code.h"
#include "vision/qr_page_code_reader.h"
#include "tests/support/synthetic_marks.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <vector>

namespace {

const std::vector<QImage> &pictures()
{
    static const std::vector<QImage> list = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        std::vector<QImage> out;
        for (uint32_t i = 0; i < 16; ++i) {
            synth::Picture p;
            p.size = {1280, 1024};
            const QPointF c(560 + (i % 4) * 60.5, 430 + (i / 4) * 50.25);
            p.marks = {{i % 2 ? synth::Shape::DiskWithTicks : synth::Shape::Disk, c},
                       {synth::Shape::Bars, {200, 200}}, {synth::Shape::Dots, {1000, 800}}};
            p.qrText = pageCodeText(0x1000 + i);
            p.qrTopLeft = synth::qrBesideMark(c, 3.5);
            p.blurSigma = 1.5;
            p.noiseSigma = 8;
            p.seed = i + 1;
            out.push_back(synth::render(p));
        }
        return out;
    }();
    return list;
}

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(q * v.size()))];
}

void addPercentiles(benchmark::State &state, std::vector<double> &ms)
{
    state.counters["p50_ms"] = percentile(ms, 0.50);
    state.counters["p99_ms"] = percentile(ms, 0.99);
}

void BM_MarkFinder(benchmark::State &state)
{
    const auto &list = pictures();
    std::vector<double> ms;
    size_t i = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const MarkLocateResult r = locateMark(list[i++ % list.size()], {});
        benchmark::DoNotOptimize(r.position);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    addPercentiles(state, ms);
}

// Baseline: grey, Otsu threshold, connected components, the round component
// of the right size nearest the centre.
void BM_OpenCvComponents(benchmark::State &state)
{
    const auto &list = pictures();
    std::vector<double> ms;
    size_t i = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const QImage rgb = list[i++ % list.size()].convertToFormat(QImage::Format_RGB888);
        cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()), rgb.bytesPerLine());
        cv::Mat grey, bin, labels, stats, centroids;
        cv::cvtColor(view, grey, cv::COLOR_RGB2GRAY);
        cv::threshold(grey, bin, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
        const int n = cv::connectedComponentsWithStats(bin, labels, stats, centroids, 8);
        double best = 1e18;
        cv::Point2d found;
        for (int k = 1; k < n; ++k) {
            const int w = stats.at<int>(k, cv::CC_STAT_WIDTH), h = stats.at<int>(k, cv::CC_STAT_HEIGHT);
            const double fill = double(w) * h / stats.at<int>(k, cv::CC_STAT_AREA);
            if (w < 126 || w > 154 || std::abs(w - h) > 28 || fill < 1.17 || fill > 1.37)
                continue;
            const cv::Point2d c(centroids.at<double>(k, 0), centroids.at<double>(k, 1));
            const double dist = std::hypot(c.x - 640, c.y - 512);
            if (dist < best) {
                best = dist;
                found = c;
            }
        }
        benchmark::DoNotOptimize(found);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    addPercentiles(state, ms);
}

void BM_QrPageCode(benchmark::State &state)
{
    const bool withCode = state.range(0) != 0;
    const bool region = state.range(1) != 0;
    std::vector<QImage> list;
    for (const QImage &img : pictures()) {
        if (withCode) {
            list.push_back(img);
        } else {
            synth::Picture p;
            p.size = {1280, 1024};
            p.marks = {{synth::Shape::Disk, {640, 512}}};
            p.noiseSigma = 8;
            list.push_back(synth::render(p));
            break;
        }
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
    addPercentiles(state, ms);
}

} // namespace

BENCHMARK(BM_MarkFinder)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_OpenCvComponents)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_QrPageCode)->ArgNames({"code", "region"})->Args({1, 0})->Args({1, 1})->Args({0, 0})->Args({0, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK_MAIN();
