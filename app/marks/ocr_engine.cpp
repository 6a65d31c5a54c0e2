#include "app/marks/ocr_engine.h"

#include "platform/ocr/ocr_lite.h"

#include <QDebug>

OcrEngine::OcrEngine()
    : m_ocr(std::make_unique<OcrLite>())
{
}

OcrEngine::~OcrEngine() = default;

bool OcrEngine::init()
{
    m_ocr->setNumThread(4);
    m_ocr->initLogger(true, true, true);
    // The models sit in "models" beside the program; the names keep the
    // Windows separators the settings were written with.
    if (!m_ocr->initModels(".\\models\\ch_PP-OCRv3_det_infer.onnx", ".\\models\\ch_ppocr_mobile_v2.0_cls_infer.onnx",
                           ".\\models\\ch_PP-OCRv3_rec_infer.onnx", ".\\models\\ppocr_keys_v1.txt")) {
        qCritical() << "SpoolsmithApp::initApp" << "Failed to initialize models.";
        return false;
    }
    return true;
}
