#pragma once

#include "app/app_services.h"
#include "app/capture/capture_sync.h"
#include "app/threads/thread_group.h"

#include <QImage>
#include <QObject>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

// The capture hand-shake: a job thread asks a camera for a picture and
// sleeps until it has been evaluated or the wait ran out. The mark camera's
// pictures are scanned on the GUI thread; each check-camera picture is
// inspected on a label-check thread this broker owns.
class CaptureBroker : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        // Scans a mark-camera picture (GUI thread).
        std::function<void(const QImage &)> scanMark;
        // Inspects a check-camera picture (label-check thread); false when
        // it was dropped or failed.
        std::function<bool(const QImage &)> inspectLabel;
        // The industrial check camera's first frame taken at or after
        // askedUs (microseconds since the epoch), waiting until deadline;
        // null when none came.
        std::function<QImage(qint64 askedUs, std::chrono::steady_clock::time_point deadline)> frameAfter;
    };
    CaptureBroker(AppServices services, Hooks hooks, QObject *parent = nullptr);
    ~CaptureBroker() override;

    // Camera 1 (mark) or 2 (check): one picture, evaluated, or false after
    // the capture wait; never on the GUI thread with the QML camera.
    bool doCapture(const QVariant &camera);
    bool capturing() const { return m_capturing.load() > 0; }
    CaptureSync &captureRecord(int camera);
    void capturedMarkImage(int id, const QVariant &img);
    void capturedLabelImage(int id, const QVariant &img);
    // One check-camera picture asked for on a thread of the broker's own,
    // so a new label template is checked at once; the caller goes on.
    void requestCheckPicture();
    // Label-check and picture-request threads still to be joined.
    int labelCheckThreadCount() const;
    // Joins them; shut-down calls it.
    void joinLabelChecks();
    // Shut-down: every wait for a picture ends now, and later requests get
    // none, so nothing waits out the capture time.
    void cancelWaits();

signals:
    // To the camera object: take a picture for the request token.
    void capture(const QVariant &camera);

private:
    // Records the answer of one request and wakes its waiter.
    bool finishCapture(int token, bool evaluated);
    void startLabelCheck(int token, const QImage &image);
    // Inspects the industrial check camera's next frame for a request.
    void startFrameCheck(int token, int waitMs);

    AppServices m_services;
    Hooks m_hooks;
    std::mutex m_recordsLock;
    std::map<int, std::unique_ptr<CaptureSync>> m_records;
    std::atomic<int> m_capturing{0}; // requests waiting
    std::atomic<bool> m_cancelled{false};
    ThreadGroup m_labelChecks{"SpoolsmithApp::labelCheckThread"};
    ThreadGroup m_pictureRequests{"SpoolsmithApp::loadTemplate"};
};
