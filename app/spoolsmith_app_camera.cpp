// The face's capture hand-shake, camera frames and pictures.
#include "app/spoolsmith_app.h"

#include "app/camera/camera_frames.h"
#include "app/capture/capture_broker.h"
#include "app/inspection/label_inspection.h"

#include <QCamera>
#include <QDebug>
#include <QQmlApplicationEngine>

bool SpoolsmithApp::doCapture(const QVariant &camera) { return m_capture->doCapture(camera); }
bool SpoolsmithApp::capturing() const { return m_capture->capturing(); }
CaptureSync &SpoolsmithApp::captureRecord(int camera) { return m_capture->captureRecord(camera); }
void SpoolsmithApp::capturedMarkImage(int id, const QVariant &img) { m_capture->capturedMarkImage(id, img); }
void SpoolsmithApp::capturedLabelImage(int id, const QVariant &img) { m_capture->capturedLabelImage(id, img); }
int SpoolsmithApp::labelCheckThreadCount() const { return m_capture->labelCheckThreadCount(); }
void SpoolsmithApp::joinLabelChecks() { m_capture->joinLabelChecks(); }

ImageProvider *SpoolsmithApp::takeImageProvider() { return m_frames->takeImageProvider(); }
QCamera *SpoolsmithApp::checkCamera() const { return m_frames->checkCamera(); }
void SpoolsmithApp::checkCameraChanged() { m_frames->checkCameraChanged(); }
void SpoolsmithApp::chooseCheckCamera() { m_frames->chooseCheckCamera(); }
bool SpoolsmithApp::startCameraFrames() { return m_frames->start(); }
void SpoolsmithApp::stopCameraFrames() { m_frames->stop(); }
bool SpoolsmithApp::frameLoopRunning() const { return m_frames->running(); }
quint64 SpoolsmithApp::frameLoopCycles() const { return m_frames->cycles(); }
QImage SpoolsmithApp::currentFrame() const { return m_frames->currentFrame(); }
void SpoolsmithApp::setPrintPreview(const QImage &image) { m_frames->setPrintPreview(image); }
QImage SpoolsmithApp::printPreview() const { return m_frames->printPreview(); }
QImage SpoolsmithApp::imageForUrl(const QString &url) const { return m_frames->imageForUrl(url); }
QString SpoolsmithApp::printImgPath() const { return m_frames->printImgPath(); }
void SpoolsmithApp::setPrintImgPath(const QString &path) { m_frames->setPrintImgPath(path); }
QString SpoolsmithApp::framePath() const { return m_frames->framePath(); }
void SpoolsmithApp::setFramePath(const QString &path) { m_frames->setFramePath(path); }
int SpoolsmithApp::fps() const { return m_frames->fps(); }
void SpoolsmithApp::setFps(int fps) { m_frames->setFps(fps); }
bool SpoolsmithApp::saveFrame(const QString &fileName) { return m_frames->saveFrame(fileName); }
bool SpoolsmithApp::startRecorder(const QString &fileName) { return m_frames->startRecorder(fileName); }
void SpoolsmithApp::stopRecorder() { m_frames->stopRecorder(); }

// Needs the mark scan and the inspection: built after them.
void SpoolsmithApp::initCameraParts(const AppServices &services)
{
    m_frames = std::make_unique<CameraFrames>(services);
    connect(checkCamera(), &QCamera::cameraDeviceChanged, this, &SpoolsmithApp::checkCameraChanged);

    CaptureBroker::Hooks hooks;
    hooks.scanMark = [this](const QImage &image) { scanMark(image); };
    hooks.inspectLabel = [this](const QImage &image) { return m_inspection->inspect(image); };
    hooks.frameAfter = [this](qint64 askedUs, std::chrono::steady_clock::time_point deadline) {
        return m_frames->frameAfter(askedUs, deadline);
    };
    m_capture = std::make_unique<CaptureBroker>(services, hooks);

    const auto direct = Qt::DirectConnection;
    connect(m_frames.get(), &CameraFrames::printImgPathChanged, this, &SpoolsmithApp::printImgPathChanged, direct);
    connect(m_frames.get(), &CameraFrames::framePathChanged, this, &SpoolsmithApp::framePathChanged, direct);
    connect(m_frames.get(), &CameraFrames::fpsChanged, this, &SpoolsmithApp::fpsChanged, direct);
    connect(m_capture.get(), &CaptureBroker::capture, this, &SpoolsmithApp::capture, direct);
}

bool SpoolsmithApp::connectCameraObject(QObject *camera)
{
    if (!camera)
        return false;
    bool ok = connect(this, SIGNAL(capture(QVariant)), camera, SIGNAL(capture(QVariant)));
    ok = connect(camera, SIGNAL(capturedMarkImage(int, QVariant)), this, SLOT(capturedMarkImage(int, QVariant)))
        && ok;
    ok = connect(camera, SIGNAL(capturedLabelImage(int, QVariant)), this,
                 SLOT(capturedLabelImage(int, QVariant)))
        && ok;
    if (!ok)
        qCritical() << "SpoolsmithApp::connectCamera" << "camera object lacks the capture signals" << camera;
    return ok;
}

void SpoolsmithApp::connectCamera(QQmlApplicationEngine *engine)
{
    m_engine = engine;
    if (!engine || engine->rootObjects().isEmpty()) {
        qCritical() << "SpoolsmithApp::connectCamera" << "no root object, captures will time out";
        return;
    }
    QObject *root = engine->rootObjects().first();
    QObject *camera = root->objectName() == QLatin1String("SpoolsmithCamera")
        ? root
        : root->findChild<QObject *>(QStringLiteral("SpoolsmithCamera"), Qt::FindChildrenRecursively);
    if (!camera) {
        qWarning() << "SpoolsmithApp::connectCamera" << "no SpoolsmithCamera, captures will time out";
        return;
    }
    connectCameraObject(camera);
}
