// OCR speed: model load time and recognition time of one text line, and a
// whole page-code picture (detection, direction, recognition).
#include "platform/ocr/ocr_lite.h"

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

} // namespace

BENCHMARK_MAIN();
