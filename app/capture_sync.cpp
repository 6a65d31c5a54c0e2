// The capture hand-shake: a job thread asks the camera object for a picture
// and sleeps until the GUI thread has evaluated it or the wait ran out.
#include "app/spoolsmith_app.h"

#include "app/capture_sync.h"
#include "app/inspection/label_inspection.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QQmlApplicationEngine>
#include <QThread>

#include <thread>

CaptureSync &SpoolsmithApp::captureRecord(int camera)
{
    QMutexLocker lock(&m_captureMapLock);
    auto it = m_captureRecords.find(camera);
    if (it == m_captureRecords.end())
        it = m_captureRecords.emplace(camera, std::make_unique<CaptureSync>()).first;
    return *it->second;
}

bool SpoolsmithApp::doCapture(const QVariant &camera)
{
    bool isInt = false;
    const int c = camera.toInt(&isInt);
    if (!isInt || c < 1 || c >= kCaptureCameraSlots) {
        qCritical() << "SpoolsmithApp::doCapture" << "no such camera" << camera;
        return false;
    }
    CaptureSync &record = captureRecord(c);
    QMutexLocker lock(&record.mutex);
    m_capturing.store(true);
    record.done = false;
    record.sequence = record.sequence >= (INT_MAX / kCaptureCameraSlots) - 1 ? 1 : record.sequence + 1;
    const int token = record.sequence * kCaptureCameraSlots + c;
    record.pending = token;

    const Config *config = Config::instance();
    const bool qmlCamera = !config || config->usedQMLCameraAt(c - 1);
    if (qmlCamera) {
        emit capture(QVariant(token));
    } else if (c == 2) {
        startLabelCheck(new LabelCheckJob{token, currentFrame()});
    }
    // Camera 1 without the QML camera: nothing to ask, the wait runs out.

    const int waitMs = config ? config->getProperty(Config::CPT_Wait_Capture).toInt() : 10000;
    QDeadlineTimer deadline(qMax(0, waitMs));
    // Spurious wake-ups are told apart from the real one by done.
    while (!record.done) {
        if (!record.cond.wait(&record.mutex, deadline))
            break;
    }
    record.pending = 0;
    m_capturing.store(false);
    const bool done = record.done;
    if (!done)
        qWarning() << "SpoolsmithApp::doCapture" << "no picture in" << waitMs << "ms, camera" << c;
    return done;
}

bool SpoolsmithApp::finishCapture(int token)
{
    const int camera = captureCameraOf(token);
    if (camera <= 0)
        return false;
    CaptureSync &record = captureRecord(camera);
    QMutexLocker lock(&record.mutex);
    if (record.pending == 0 || record.pending != token) {
        qWarning() << "SpoolsmithApp::finishCapture" << "picture of request" << token
                   << "came after its wait ended";
        return false;
    }
    record.done = true;
    record.cond.wakeAll();
    return true;
}

void SpoolsmithApp::capturedMarkImage(int id, const QVariant &img)
{
    const QImage image = img.value<QImage>();
    // A late picture is still scanned (the film view shows it), it only
    // wakes nobody.
    if (image.isNull())
        qWarning() << "SpoolsmithApp::capturedMarkImage" << "empty picture" << id;
    scanMark(image);
    finishCapture(id);
}

void SpoolsmithApp::capturedLabelImage(int id, const QVariant &img)
{
    startLabelCheck(new LabelCheckJob{id, img.value<QImage>()});
}

void SpoolsmithApp::startLabelCheck(LabelCheckJob *job)
{
    std::thread(&SpoolsmithApp::labelCheckThread, this, job).detach();
}


void SpoolsmithApp::labelCheckThread(LabelCheckJob *job)
{
    std::unique_ptr<LabelCheckJob> owned(job);
    const QImage image = owned->image.copy();
    // The inspection lock before a capture record, always in this order.
    m_inspection->inspect(image);
    finishCapture(owned->id);
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
