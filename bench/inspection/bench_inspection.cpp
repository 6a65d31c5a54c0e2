// One label inspection's detector call on a 12 MP check picture (4000 x
// 3000, six labels with a QR code, a barcode and a line of text), without
// and with OCR, beside an OpenCV baseline on the same picture: grey
// conversion, Otsu threshold and outer contours, the least any detector
// that looks at every pixel does. OCR runs on the process's one engine for
// the model folder: a second detector's first call loads nothing.
// Also the lost-label view's paint of an inspection's result (six labels
// on a 1600 x 1200 picture into a 400 x 300 item), beside clearing the same
// canvas, in turns; its goal is a frame.
#include "bench/support/interleaved.h"
#include "platform/detector/label_detector.h"
#include "vision/lost_label_view.h"
#include "platform/ocr/shared_ocr.h"
#include "tests/support/synthetic_labels.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPainter>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <vector>

namespace {

struct Scene
{
    cv::Mat picture;
    cv::Mat templ;
};

cv::Mat toBgr(const QImage &image)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar *>(bgr.constBits()), size_t(bgr.bytesPerLine()))
        .clone();
}

const Scene &scene()
{
    static const Scene s = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false"));
        synth::LabelWeb web = synth::standardWeb();
        web.size = QSize(4000, 3000);
        web.firstEdge = 300;
        web.lastEdge = 3700;
        web.firstPageY = 150;
        web.missing = {3};
        Scene out;
        out.picture = toBgr(synth::renderCheckPicture(web));
        const QImage mask = synth::renderCutMaskOf(web).convertToFormat(QImage::Format_RGB888);
        out.templ = cv::Mat(mask.height(), mask.width(), CV_8UC3, const_cast<uchar *>(mask.constBits()),
                            size_t(mask.bytesPerLine()))
                        .clone();
        return out;
    }();
    return s;
}

void BM_OpenCvBaseline(benchmark::State &state)
{
    const Scene &s = scene();
    for (auto _ : state) {
        cv::Mat grey, binary;
        cv::cvtColor(s.picture, grey, cv::COLOR_BGR2GRAY);
        cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(binary, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        benchmark::DoNotOptimize(contours.size());
    }
}

void BM_DetectorCodes(benchmark::State &state)
{
    const Scene &s = scene();
    LabelDetector detector;
    size_t labels = 0;
    for (auto _ : state) {
        const ReadData d = detector.process(s.picture, s.templ, false, true, true, "");
        labels = d.labels.size();
        benchmark::DoNotOptimize(d.segmentX);
    }
    state.counters["labels"] = double(labels);
}

void BM_DetectorCodesAndOcr(benchmark::State &state)
{
    const std::string models = SPOOLSMITH_MODELS_DIR;
    if (!QFileInfo::exists(QString::fromStdString(models) + QStringLiteral("/ch_PP-OCRv3_det_infer.onnx"))) {
        state.SkipWithError("no OCR models (scripts/install-ocr.sh)");
        return;
    }
    const Scene &s = scene();
    LabelDetector detector;
    size_t texts = 0;
    bool lineRead = false;
    // The first call loads the networks; it is not what an inspection costs.
    detector.process(s.picture, s.templ, true, true, true, models);
    for (auto _ : state) {
        const ReadData d = detector.process(s.picture, s.templ, true, true, true, models);
        texts = 0;
        for (const DetectedLabel &l : d.labels) {
            texts += l.texts.size();
            for (const TextResult &t : l.texts)
                lineRead = lineRead || t.text.find("42") != std::string::npos;
        }
        benchmark::DoNotOptimize(d.segmentX);
    }
    state.counters["texts"] = double(texts);
    state.counters["printed_line_read"] = lineRead ? 1.0 : 0.0;
}

// A new detector's first OCR call: the engine the others loaded serves it.
void BM_NewDetectorSharesTheEngine(benchmark::State &state)
{
    const std::string models = SPOOLSMITH_MODELS_DIR;
    if (!QFileInfo::exists(QString::fromStdString(models) + QStringLiteral("/ch_PP-OCRv3_det_infer.onnx"))) {
        state.SkipWithError("no OCR models (scripts/install-ocr.sh)");
        return;
    }
    const Scene &s = scene();
    const auto engine = sharedocr::engine(models);
    for (auto _ : state) {
        LabelDetector detector;
        const ReadData d = detector.process(s.picture, s.templ, true, true, true, models);
        benchmark::DoNotOptimize(d.segmentX);
    }
    state.counters["one_engine"] = sharedocr::engine(models) == engine ? 1.0 : 0.0;
}

void lostLabelViewPaint()
{
    synth::LabelWeb web = synth::standardWeb();
    web.missing = {3};
    LostLabelView::Snapshot snapshot;
    snapshot.result = LabelDetector().process(toBgr(synth::renderCheckPicture(web)),
                                              toBgr(synth::renderCutMaskOf(web)), false, true, true, "");
    snapshot.segmentX = snapshot.result.segmentX;
    LostLabelView view;
    view.setSize(QSizeF(400, 300));
    view.setImageH(1200);
    view.setImageW(1600);
    QImage canvas(400, 300, QImage::Format_ARGB32);
    const bench::Comparison c = bench::interleave(
        1, 200, 20,
        [&](size_t) {
            canvas.fill(Qt::transparent);
            QPainter p(&canvas);
            view.paintSnapshot(&p, snapshot);
            return p.end() && snapshot.result.labels.size() == 6;
        },
        [&](size_t) {
            canvas.fill(Qt::transparent);
            QPainter p(&canvas);
            return p.end();
        });
    bench::row("lost-label view paint p50", c.measured.p50, "ms", "< 16 ms (a frame)", c.baseline.p50,
               "clearing the canvas", c.measured.p50 < 16.0);
    bench::row("lost-label view paint p99", c.measured.p99, "ms", "(reported)", c.baseline.p99, "clearing the canvas",
               true);
}

} // namespace

BENCHMARK(BM_OpenCvBaseline)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DetectorCodes)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DetectorCodesAndOcr)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NewDetectorSharesTheEngine)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    lostLabelViewPaint();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
