#include "app/marks/ocr_engine.h"

#include "platform/ocr/ocr_lite.h"
#include "platform/ocr/ocr_paths.h"
#include "platform/ocr/shared_ocr.h"

#include <QDebug>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

OcrEngine::OcrEngine()
    : m_ocr(std::make_shared<OcrLite>())
{
}

OcrEngine::~OcrEngine()
{
    if (m_loader.joinable())
        m_loader.join();
}

bool OcrEngine::load()
{
    // The models sit in "models" beside the program (the name keeps the
    // Windows separator the settings were written with). The label
    // detector reads with the same engine when its model path points there.
    std::shared_ptr<OcrLite> shared = sharedocr::engine(toLocalPath(QStringLiteral(".\\models")).toStdString());
    shared->initLogger(true, true, true);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_ocr = shared;
    }
    if (!shared->isReady()) {
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

OcrLite &OcrEngine::lite()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return *m_ocr;
}

QList<PageCodeLine> OcrEngine::read(const QImage &bgr, std::chrono::milliseconds bound, double detectorScale)
{
    if (!waitReady(bound)) {
        qCritical() << "SpoolsmithApp::scanOCR" << "OCR models not loaded; page code not read";
        return {};
    }
    return readPageCodeLines(lite(), bgr, detectorScale);
}
