#include "app/spoolsmith_app.h"

#include "platform/camera/hk_camera.h"
#include "vision/image_provider.h"

#include <QDateTime>
#include <QDebug>

#include <chrono>
#include <exception>
#include <iostream>

namespace {

constexpr qint64 kFramePeriodMs = 100;

qint64 clockMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::string checkCameraSerial()
{
    return Config::instance() ? Config::instance()->checkCamera().toStdString() : std::string();
}

} // namespace

ImageProvider *SpoolsmithApp::takeImageProvider()
{
    ImageProvider *provider = m_imageProvider;
    m_imageProvider = nullptr;
    return provider;
}

void SpoolsmithApp::chooseCheckCamera()
{
    Config *config = Config::instance();
    QString id = config->checkCamera();
    const QStringList serials = HKCamera::instance()->serialNumbers();
    if (id.isEmpty() && !serials.isEmpty())
        id = serials.first();
    config->setCheckCamera(id);
}

bool SpoolsmithApp::startCameraFrames()
{
    const QString id = Config::instance()->checkCamera();
    if (id.isEmpty() || !HKCamera::instance()->serialNumbers().contains(id)) {
        qInfo() << "SpoolsmithApp::initApp" << "no industrial check camera, frame loop not started";
        return false;
    }
    if (m_frameThread.joinable())
        return true;
    HKCamera::instance()->openCamera(id.toStdString());
    m_stopFrames = false;
    m_frameThread = std::thread([this] { cameraFrameLoop(); });
    return true;
}

void SpoolsmithApp::stopCameraFrames()
{
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        m_stopFrames = true;
    }
    m_stopWake.notify_all();
    if (m_frameThread.joinable()) {
        // A grab waits at most 1000 ms, so the join is bounded.
        m_frameThread.join();
        HKCamera::instance()->closeAll();
    }
}

void SpoolsmithApp::cameraFrameLoop()
{
    qint64 previous = clockMs();
    while (!m_stopFrames.load()) {
        try {
            const qint64 start = clockMs();
            const cv::Mat frame = HKCamera::instance()->getFrame(checkCameraSerial());
            if (!frame.empty() && frame.type() == CV_8UC3) {
                const QImage view(frame.data, frame.cols, frame.rows, int(frame.step), QImage::Format_RGB888);
                const QImage copy = view.copy();
                {
                    QMutexLocker lock(&m_frameLock);
                    m_currentFrame = copy;
                    m_framePath = ImageProvider::nextImageUrl();
                }
                emit framePathChanged();
            }
            const qint64 now = clockMs();
            if (now > previous)
                setFps(int(1000.0 / double(now - previous)));
            previous = clockMs();
            ++m_frameCycles;
            const qint64 rest = kFramePeriodMs - (clockMs() - start);
            if (rest > 0) {
                // Sleeps the rest of the period, but wakes at once on stop.
                std::unique_lock<std::mutex> lock(m_stopLock);
                m_stopWake.wait_for(lock, std::chrono::milliseconds(rest), [this] { return m_stopFrames.load(); });
            }
        } catch (const std::exception &e) {
            std::cerr << e.what() << std::endl;
        }
    }
}

QImage SpoolsmithApp::currentFrame() const
{
    QMutexLocker lock(&m_frameLock);
    return m_currentFrame;
}

void SpoolsmithApp::setPrintPreview(const QImage &image)
{
    const QString url = ImageProvider::nextImageUrl();
    {
        QMutexLocker lock(&m_frameLock);
        m_printPreview = image;
    }
    setPrintImgPath(url);
}

QImage SpoolsmithApp::imageForUrl(const QString &url) const
{
    QMutexLocker lock(&m_frameLock);
    if (url == m_printImgPath)
        return m_printPreview.copy();
    if (url == m_framePath)
        return m_currentFrame.copy();
    return QImage();
}

QString SpoolsmithApp::printImgPath() const
{
    QMutexLocker lock(&m_frameLock);
    return m_printImgPath;
}

void SpoolsmithApp::setPrintImgPath(const QString &path)
{
    {
        QMutexLocker lock(&m_frameLock);
        m_printImgPath = path;
    }
    emit printImgPathChanged();
}

QString SpoolsmithApp::framePath() const
{
    QMutexLocker lock(&m_frameLock);
    return m_framePath;
}

void SpoolsmithApp::setFramePath(const QString &path)
{
    {
        QMutexLocker lock(&m_frameLock);
        m_framePath = path;
    }
    emit framePathChanged();
}

void SpoolsmithApp::setFps(int fps)
{
    if (m_fps.exchange(fps) != fps)
        emit fpsChanged();
}

bool SpoolsmithApp::saveFrame(const QString &fileName)
{
    const QImage frame = currentFrame();
    const QString path = fileName + QStringLiteral(".jpg");
    if (frame.isNull() || !frame.save(path, nullptr, 100)) {
        qCritical() << "SpoolsmithApp::saveFrame" << "cannot save" << path;
        return false;
    }
    return true;
}

bool SpoolsmithApp::startRecorder(const QString &fileName)
{
    return HKCamera::instance()->startVideo(checkCameraSerial(), fileName.toStdString());
}

void SpoolsmithApp::stopRecorder()
{
    HKCamera::instance()->stopVideo(checkCameraSerial());
}
