#pragma once

#include "app/app_services.h"
#include "app/camera/recent_frame_addresses.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class ImageProvider;
class QCamera;

// Camera frames and the pictures QML shows: the check camera, the frame loop
// of the industrial check camera on a thread this object owns (100 ms
// period), the current frame and the print preview with the addresses the
// image provider serves them under.
class CameraFrames : public QObject
{
    Q_OBJECT

public:
    explicit CameraFrames(AppServices services, QObject *parent = nullptr);
    ~CameraFrames() override;

    // The provider is handed once to the QML engine, which then owns it.
    ImageProvider *takeImageProvider();
    QCamera *checkCamera() const { return m_checkCamera; }
    // Picks the check camera's picture format when its device changes.
    void checkCameraChanged();
    // The first industrial camera when none is set.
    void chooseCheckCamera();
    // Opens the industrial check camera and runs the frame loop; false
    // when the check camera is none that was found.
    bool start();
    // Ends and joins the frame loop, bounded by one grab.
    void stop();
    bool running() const { return m_frameThread.joinable(); }
    quint64 cycles() const { return m_frameCycles.load(); }

    QImage currentFrame() const;
    // The first frame taken at or after askedUs (microseconds since the
    // epoch), waiting for the loop until deadline; null when none came or
    // the loop stopped.
    QImage frameAfter(qint64 askedUs, std::chrono::steady_clock::time_point deadline) const;
    // The print preview gets a new address each time it is stored.
    void setPrintPreview(const QImage &image);
    QImage printPreview() const;
    QImage imageForUrl(const QString &url) const;
    QString printImgPath() const;
    void setPrintImgPath(const QString &path);
    QString framePath() const;
    void setFramePath(const QString &path);
    int fps() const { return m_fps.load(); }
    void setFps(int fps);
    // Fails, saying why, when there is no current frame (none yet, or the
    // camera's stream failed since the last one).
    bool saveFrame(const QString &fileName);
    bool startRecorder(const QString &fileName);
    void stopRecorder();

signals:
    void printImgPathChanged();
    void framePathChanged();
    void fpsChanged();

private:
    void frameLoop();
    // Drops the stale frame and its address.
    void cameraLost();
    std::string checkCameraSerial() const;

    AppServices m_services;
    ImageProvider *m_imageProvider = nullptr;
    QCamera *m_checkCamera = nullptr;
    mutable std::mutex m_frameLock; // the pictures and their addresses
    QImage m_printPreview;
    QImage m_currentFrame;
    qint64 m_frameTakenUs = 0; // when the current frame was taken
    // The check camera's stream failed since its last frame: nothing is
    // shown or saved until it grabs again.
    bool m_cameraLost = false;
    mutable std::condition_variable m_frameStored; // under m_frameLock
    QString m_printImgPath;
    QString m_framePath;
    // Answered with the current frame: no older pictures are kept.
    RecentFrameAddresses m_recentFramePaths;
    std::atomic<int> m_fps{0};
    std::thread m_frameThread;
    std::atomic<bool> m_stopFrames{false};
    std::atomic<quint64> m_frameCycles{0};
    std::mutex m_stopLock;
    std::condition_variable m_stopWake;
};
