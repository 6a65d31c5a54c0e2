#include "app/marks/ocr_engine.h"

#include "platform/ocr/ocr_lite.h"

#include <QDebug>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

OcrEngine::OcrEngine()
    : m_ocr(std::make_unique<OcrLite>())
{
}

OcrEngine::~OcrEngine()
{
    if (m_loader.joinable())
        m_loader.join();
}

bool OcrEngine::load()
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

void OcrEngine::finish(bool ok)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_state = ok ? State::Ready : State::Failed;
    }
    m_changed.notify_all();
}

bool OcrEngine::init()
{
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_state == State::Idle) {
        m_state = State::Loading;
        lock.unlock();
        const bool ok = load();
        finish(ok);
        return ok;
    }
    m_changed.wait(lock, [this] { return m_state != State::Loading; });
    return m_state == State::Ready;
}

void OcrEngine::startLoading()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Idle)
        return;
    m_state = State::Loading;
    m_loader = std::thread([this] { finish(load()); });
}

void OcrEngine::startAfterFirstFrame(QObject *context, int fallbackMs)
{
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (auto *quick = qobject_cast<QQuickWindow *>(window))
            // Emitted on the render thread; startLoading only takes a lock.
            QObject::connect(quick, &QQuickWindow::frameSwapped, context, [this] { startLoading(); },
                             Qt::ConnectionType(Qt::DirectConnection | Qt::SingleShotConnection));
    QTimer::singleShot(fallbackMs, context, [this] { startLoading(); });
}

bool OcrEngine::waitReady(std::chrono::milliseconds bound)
{
    startLoading();
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, bound, [this] { return m_state != State::Loading; });
    return m_state == State::Ready;
}

QList<PageCodeLine> OcrEngine::read(const QImage &bgr, std::chrono::milliseconds bound)
{
    if (!waitReady(bound)) {
        qCritical() << "SpoolsmithApp::scanOCR" << "OCR models not loaded; page code not read";
        return {};
    }
    return readPageCodeLines(*m_ocr, bgr);
}
