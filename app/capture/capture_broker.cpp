#include "app/capture/capture_broker.h"

#include "settings/config.h"
#include "settings/param_limits.h"

#include <QDebug>

#include <chrono>
#include <climits>
#include <vector>

namespace {
// A label inspection takes well under this; shut-down waits no longer
// before it reports one still running.
constexpr std::chrono::seconds kLabelCheckBound(30);
} // namespace

CaptureBroker::CaptureBroker(AppServices services, Hooks hooks, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_hooks(std::move(hooks))
{
}

CaptureBroker::~CaptureBroker()
{
    joinLabelChecks();
}

CaptureSync &CaptureBroker::captureRecord(int camera)
{
    std::lock_guard<std::mutex> lock(m_recordsLock);
    auto it = m_records.find(camera);
    if (it == m_records.end())
        it = m_records.emplace(camera, std::make_unique<CaptureSync>()).first;
    return *it->second;
}

bool CaptureBroker::doCapture(const QVariant &camera)
{
    bool isInt = false;
    const int c = camera.toInt(&isInt);
    if (!isInt || c < 1 || c >= kCaptureCameraSlots) {
        qCritical() << "SpoolsmithApp::doCapture" << "no such camera" << camera;
        return false;
    }
    CaptureSync &record = captureRecord(c);
    std::unique_lock<std::mutex> lock(record.mutex);
    if (m_cancelled.load()) {
        qInfo() << "SpoolsmithApp::doCapture" << "shutting down, no picture asked for, camera" << c;
        return false;
    }
    m_capturing.fetch_add(1);
    record.sequence = record.sequence >= (INT_MAX / kCaptureCameraSlots) - 1 ? 1 : record.sequence + 1;
    const int token = record.sequence * kCaptureCameraSlots + c;
    record.pending[token] = CaptureSync::Answer::Waiting;

    const Config *config = m_services.config();
    // Bounded whatever was set: an out-of-range value waits the default.
    const int waitMs = ParamLimits::boundedInt(config, Config::CPT_Wait_Capture, 10000);
    const bool qmlCamera = !config || config->usedQMLCameraAt(c - 1);
    if (qmlCamera)
        emit capture(QVariant(token));
    else if (c == 2)
        startFrameCheck(token, waitMs);
    // Camera 1 without the QML camera: nothing to ask, the wait runs out.

    // Spurious wake-ups are told apart from the real one by the answer.
    record.cond.wait_for(lock, std::chrono::milliseconds(waitMs), [this, &record, token] {
        return record.pending[token] != CaptureSync::Answer::Waiting || m_cancelled.load();
    });
    const bool done = record.pending[token] == CaptureSync::Answer::Evaluated;
    record.pending.erase(token);
    record.done = done;
    m_capturing.fetch_sub(1);
    if (!done && m_cancelled.load())
        qInfo() << "SpoolsmithApp::doCapture" << "wait cancelled by the shut-down, camera" << c;
    else if (!done)
        qWarning() << "SpoolsmithApp::doCapture" << "no picture in" << waitMs << "ms, camera" << c;
    return done;
}

bool CaptureBroker::finishCapture(int token, bool evaluated)
{
    const int camera = captureCameraOf(token);
    if (camera <= 0)
        return false;
    CaptureSync &record = captureRecord(camera);
    std::lock_guard<std::mutex> lock(record.mutex);
    auto it = record.pending.find(token);
    if (it == record.pending.end()) {
        qWarning() << "SpoolsmithApp::finishCapture" << "picture of request" << token << "came after its wait ended";
        return false;
    }
    it->second = evaluated ? CaptureSync::Answer::Evaluated : CaptureSync::Answer::NotEvaluated;
    record.cond.notify_all();
    return true;
}

void CaptureBroker::capturedMarkImage(int id, const QVariant &img)
{
    const QImage image = img.value<QImage>();
    // A late picture is still scanned (the film view shows it), it only
    // wakes nobody.
    if (image.isNull())
        qWarning() << "SpoolsmithApp::capturedMarkImage" << "empty picture" << id;
    m_hooks.scanMark(image);
    finishCapture(id, true);
}

void CaptureBroker::capturedLabelImage(int id, const QVariant &img)
{
    startLabelCheck(id, img.value<QImage>());
}

void CaptureBroker::startLabelCheck(int token, const QImage &image)
{
    const ThreadGroup::Handle thread = m_labelChecks.start([this, token, image] {
        // The thread inspects a copy of its own; the copying is done off the
        // GUI thread.
        const QImage copy = image.copy();
        // The inspection lock before a capture record, always in this order.
        const bool inspected = m_hooks.inspectLabel(copy);
        finishCapture(token, inspected);
    });
    if (!thread)
        qCritical() << "SpoolsmithApp::capturedLabelImage" << "picture of request" << token << "not inspected";
}

void CaptureBroker::startFrameCheck(int token, int waitMs)
{
    // Only a frame taken after the request answers it: the frame loop's
    // last one may be from before (a camera that stopped sending).
    const qint64 askedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const ThreadGroup::Handle thread = m_labelChecks.start([this, token, askedUs, deadline] {
        const QImage frame = m_hooks.frameAfter(askedUs, deadline);
        if (frame.isNull()) {
            qWarning() << "SpoolsmithApp::doCapture" << "no check-camera frame taken after request" << token;
            finishCapture(token, false);
            return;
        }
        finishCapture(token, m_hooks.inspectLabel(frame));
    });
    if (!thread)
        qCritical() << "SpoolsmithApp::doCapture" << "picture of request" << token << "not inspected";
}

void CaptureBroker::requestCheckPicture()
{
    if (!m_pictureRequests.start([this] { doCapture(QVariant(2)); }))
        qCritical() << "SpoolsmithApp::loadTemplate" << "no thread for the check picture";
}

void CaptureBroker::cancelWaits()
{
    m_cancelled.store(true);
    std::vector<CaptureSync *> records;
    {
        std::lock_guard<std::mutex> lock(m_recordsLock);
        for (const auto &entry : m_records)
            records.push_back(entry.second.get());
    }
    // Records are never removed; under each one's mutex so that a waiter
    // between its check and its sleep cannot miss the wake-up.
    for (CaptureSync *record : records) {
        std::lock_guard<std::mutex> lock(record->mutex);
        record->cond.notify_all();
    }
}

int CaptureBroker::labelCheckThreadCount() const
{
    return m_labelChecks.count() + m_pictureRequests.count();
}

void CaptureBroker::joinLabelChecks()
{
    // A request waits for its label check: requests first.
    m_pictureRequests.joinAll(kLabelCheckBound);
    m_labelChecks.joinAll(kLabelCheckBound);
}
