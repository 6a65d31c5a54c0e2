// OCR speed: model load time and recognition time of one text line, and a
// whole page-code picture (detection, direction, recognition); the page code
// read as the mark scan reads it, beside the recogniser alone on its line.
// Then how many of a thousand printed page codes the scan's read gets exact
// (the test reads a quarter of them).
#include "platform/ocr/ocr_lite.h"
#include "vision/page_code.h"
#include "vision/page_code_ocr.h"
#include "bench/support/interleaved.h"
#include "tests/support/printed_codes.h"

#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include <string>

namespace {

const std::string kModels = SPOOLSMITH_MODELS_DIR;

bool loadModels(OcrLite &ocr)
{
    ocr.setNumThread(4);
    return ocr.initModels(kModels + "/ch_PP-OCRv3_det_infer.onnx", kModels + "/ch_ppocr_mobile_v2.0_cls_infer.onnx",
                          kModels + "/ch_PP-OCRv3_rec_infer.onnx", kModels + "/ppocr_keys_v1.txt");
}

cv::Mat codePicture(int width, int height)
{
    cv::Mat img(height, width, CV_8UC3, cv::Scalar(230, 235, 235));
    cv::putText(img, "3a7c91e0", cv::Point(width / 8, height / 2 + 12), cv::FONT_HERSHEY_SIMPLEX, 1.2,
                cv::Scalar(0, 0, 0), 2, cv::LINE_AA);
    return img;
}

void BM_ModelLoad(benchmark::State &state)
{
    for (auto _ : state) {
        OcrLite ocr;
        if (!loadModels(ocr)) {
            state.SkipWithError("OCR models not installed (scripts/install-ocr.sh)");
            return;
        }
    }
}
BENCHMARK(BM_ModelLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RecognizeLine(benchmark::State &state)
{
    OcrLite ocr;
    if (!loadModels(ocr)) {
        state.SkipWithError("OCR models not installed (scripts/install-ocr.sh)");
        return;
    }
    const cv::Mat line = codePicture(260, 48);
    for (auto _ : state)
        benchmark::DoNotOptimize(ocr.recognizeLine(line));
}
BENCHMARK(BM_RecognizeLine)->Unit(benchmark::kMillisecond);

void BM_DetectPageCode(benchmark::State &state)
{
    OcrLite ocr;
    if (!loadModels(ocr)) {
        state.SkipWithError("OCR models not installed (scripts/install-ocr.sh)");
        return;
    }
    const cv::Mat page = codePicture(640, 480);
    for (auto _ : state)
        benchmark::DoNotOptimize(ocr.detect(page, 20, 600, 0.8f, 0.8f, 1.5f, true, true));
}
BENCHMARK(BM_DetectPageCode)->Unit(benchmark::kMillisecond);

const QPointF kMark(560, 512);

// A mark-camera capture (1280 x 1024, 40 pixels a mm): the mark and its
// page code 2 mm tall beside it, as printed. line: where the text lies.
QImage markCapture(quint32 code, QRect *line)
{
    QImage img(1280, 1024, QImage::Format_RGB32);
    img.fill(QColor(236, 234, 228));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(kMark, 70, 70);
    QFont font;
    font.setPixelSize(64);
    p.setFont(font);
    p.setPen(QColor(25, 25, 25));
    const QPointF baseline(kMark.x() + 150, kMark.y() + 28);
    p.drawText(baseline, pageCodeText(code));
    *line = QRect(int(baseline.x()) - 10, int(baseline.y()) - 62, 620, 80);
    return img;
}

void pageCodeRow()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    OcrLite ocr;
    if (!loadModels(ocr)) {
        std::fprintf(stderr, "OCR models not installed (scripts/install-ocr.sh): no page-code row\n");
        return;
    }
    std::vector<QImage> pictures;
    std::vector<cv::Mat> lines;
    std::vector<quint32> codes;
    for (quint32 i = 0; i < 6; ++i) {
        const quint32 code = 0x3a7c91e0u + i * 0x01010101u;
        QRect line;
        pictures.push_back(markCapture(code, &line));
        const QImage bgr = pictures.back().copy(line).convertToFormat(QImage::Format_BGR888);
        lines.push_back(cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar *>(bgr.constBits()),
                                size_t(bgr.bytesPerLine())).clone());
        codes.push_back(code);
    }
    const bench::Comparison c = bench::interleave(pictures.size(), 4, 1,
        [&](size_t i) {
            // The scan's own read beside the mark it found.
            const auto read = [&ocr](const QImage &bgr, double scale) { return readPageCodeLines(ocr, bgr, scale); };
            const QList<PageCodeLine> lines = readPageCodeBesideMark(read, pictures[i], kMark, 3.5, 3000);
            quint32 code = 0;
            return !lines.isEmpty() && parseOcrPageCode(lines.last().text, &code) && code == codes[i];
        },
        [&](size_t i) {
            quint32 read = 0;
            return parseOcrPageCode(QString::fromStdString(ocr.recognizeLine(lines[i]).text), &read)
                && read == codes[i];
        });
    bench::row("OCR page code p50", c.measured.p50, "ms", "<= 30 ms", c.baseline.p50,
               "recogniser alone on the known line", c.measured.p50 <= 30.0);

    synth::PrintedCodes set;
    const int total = 1000;
    int exact = 0;
    const auto read = [&ocr](const QImage &bgr, double scale) { return readPageCodeLines(ocr, bgr, scale); };
    for (int i = 0; i < total; ++i) {
        const synth::PrintedCode printed = set.next();
        // The scan takes the last line read (its mark size is the settings' 3.5 mm).
        const QList<PageCodeLine> lines = readPageCodeBesideMark(read, printed.picture,
            printed.markFound ? printed.mark : QPointF(), printed.markFound ? 3.5 : 0.0, 3000);
        quint32 code = 0;
        exact += !lines.isEmpty() && parsePageCode(lines.last().text.toLower(), &code) && code == printed.code;
    }
    bench::row("OCR page codes read exactly, 1000 printed", 100.0 * exact / total, "%", ">= 99 %", 0.0, "-",
               exact * 100 >= total * 99);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv); // the text is drawn with the default font
    benchmark::Initialize(&argc, argv);
    pageCodeRow();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
