#include "app/camera/camera_frames.h"

#include "app/check_camera.h"
#include "settings/config.h"

#include "platform/camera/hk_camera.h"
#include "core/property_store.h"
#include "vision/image_provider.h"

#include <QCamera>
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

} // namespace

CameraFrames::CameraFrames(AppServices services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
    m_imageProvider = new ImageProvider([this](const QString &url) { return imageForUrl(url); });
    // Lives to the end of the process, like the QML that holds it.
    m_checkCamera = new QCamera();
}

CameraFrames::~CameraFrames()
{
    stop();
    delete m_imageProvider;
}

std::string CameraFrames::checkCameraSerial() const
{
    const Config *config = m_services.config();
    return config ? config->checkCamera().toStdString() : std::string();
}

void CameraFrames::checkCameraChanged()
{
    applyCheckCameraFormat(m_checkCamera);
}

ImageProvider *CameraFrames::takeImageProvider()
{
    ImageProvider *provider = m_imageProvider;
    m_imageProvider = nullptr;
    return provider;
}

void CameraFrames::chooseCheckCamera()
{
    Config *config = m_services.config();
    if (!config)
        return;
    QString id = config->checkCamera();
    const QStringList serials = HKCamera::instance()->serialNumbers();
    if (id.isEmpty() && !serials.isEmpty())
        id = serials.first();
    config->setCheckCamera(id);
}

bool CameraFrames::start()
{
    const Config *config = m_services.config();
    const QString id = config ? config->checkCamera() : QString();
    if (id.isEmpty() || !HKCamera::instance()->serialNumbers().contains(id)) {
        qInfo() << "SpoolsmithApp::initApp" << "no industrial check camera, frame loop not started";
        return false;
    }
    if (m_frameThread.joinable())
        return true;
    HKCamera::instance()->openCamera(id.toStdString());
    m_stopFrames = false;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_cameraLost = false;
    }
    m_frameThread = std::thread([this] { frameLoop(); });
    return true;
}

void CameraFrames::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        m_stopFrames = true;
    }
    m_stopWake.notify_all();
    {
        // Under the frame lock, so a frame waiter between its test and its
        // sleep cannot miss the stop.
        std::lock_guard<std::mutex> lock(m_frameLock);
    }
    m_frameStored.notify_all();
    if (m_frameThread.joinable()) {
        // A grab waits at most 1000 ms, so the join is bounded.
        m_frameThread.join();
        HKCamera::instance()->closeAll();
    }
}

void CameraFrames::frameLoop()
{
    qint64 previous = clockMs();
    while (!m_stopFrames.load()) {
        try {
            const qint64 start = clockMs();
            // While the check camera is one of the QML road, nothing is
            // grabbed (and no other camera is opened in its name).
            const Config *config = m_services.config();
            const bool grab = config && !config->usedQMLCameraAt(1);
            qint64 takenUs = 0;
            const std::string serial = grab ? checkCameraSerial() : std::string();
            const cv::Mat frame = grab ? HKCamera::instance()->getFrame(serial, &takenUs) : cv::Mat();
            // A failed stream closes the camera; a lone bad frame does not.
            const bool lost = grab && frame.empty() && !HKCamera::instance()->isOpen(serial);
            if (lost) {
                cameraLost();
            } else if (!frame.empty() && frame.type() == CV_8UC3) {
                const QImage view(frame.data, frame.cols, frame.rows, int(frame.step), QImage::Format_RGB888);
                const QImage copy = view.copy();
                {
                    std::lock_guard<std::mutex> lock(m_frameLock);
                    m_currentFrame = copy;
                    m_frameTakenUs = takenUs;
                    m_cameraLost = false;
                    m_framePath = ImageProvider::nextImageUrl();
                    m_recentFramePaths.add(m_framePath);
                }
                m_frameStored.notify_all();
                emit framePathChanged();
            }
            const qint64 now = clockMs();
            if (lost)
                setFps(0);
            else if (now > previous)
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

void CameraFrames::cameraLost()
{
    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        shown = !m_framePath.isEmpty() || !m_currentFrame.isNull();
        m_currentFrame = QImage();
        m_framePath.clear();
        m_recentFramePaths.clear();
        m_cameraLost = true;
    }
    if (shown)
        emit framePathChanged();
}

QImage CameraFrames::currentFrame() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_currentFrame;
}

QImage CameraFrames::frameAfter(qint64 askedUs, std::chrono::steady_clock::time_point deadline) const
{
    std::unique_lock<std::mutex> lock(m_frameLock);
    const bool fresh = m_frameStored.wait_until(lock, deadline, [this, askedUs] {
        return m_frameTakenUs >= askedUs || m_stopFrames.load();
    });
    return fresh && m_frameTakenUs >= askedUs ? m_currentFrame : QImage();
}

void CameraFrames::setPrintPreview(const QImage &image)
{
    const QString url = ImageProvider::nextImageUrl();
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_printPreview = image;
    }
    setPrintImgPath(url);
}

QImage CameraFrames::imageForUrl(const QString &url) const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    if (url == m_printImgPath)
        return m_printPreview.copy();
    if (url == m_framePath || m_recentFramePaths.contains(url))
        return m_currentFrame.copy();
    return QImage();
}

QString CameraFrames::printImgPath() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_printImgPath;
}

void CameraFrames::setPrintImgPath(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_printImgPath = path;
    }
    emit printImgPathChanged();
}

QString CameraFrames::framePath() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_framePath;
}

void CameraFrames::setFramePath(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_framePath = path;
    }
    emit framePathChanged();
}

void CameraFrames::setFps(int fps)
{
    spoolsmith::storeAndNotify(m_fps, fps, [this] { emit fpsChanged(); });
}

QImage CameraFrames::printPreview() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_printPreview;
}

bool CameraFrames::saveFrame(const QString &fileName)
{
    QImage frame;
    bool lost = false;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        frame = m_currentFrame;
        lost = m_cameraLost;
    }
    const QString path = fileName + QStringLiteral(".jpg");
    const char *why = nullptr;
    if (lost)
        why = "the check camera's stream failed, its last frame is stale";
    else if (frame.isNull())
        why = "no frame yet";
    else if (!frame.save(path, nullptr, 100))
        why = "the file could not be written";
    if (why)
        qCritical() << "SpoolsmithApp::saveFrame" << "cannot save" << path << why;
    return !why;
}

bool CameraFrames::startRecorder(const QString &fileName)
{
    // The loop writes one frame a cycle: that is the file's rate.
    return HKCamera::instance()->startVideo(checkCameraSerial(), fileName.toStdString(), 1000.0 / kFramePeriodMs);
}

void CameraFrames::stopRecorder()
{
    HKCamera::instance()->stopVideo(checkCameraSerial());
}
