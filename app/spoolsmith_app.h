#pragma once

#include "config.h"

#include <QApplication>
#include <QAtomicInt>
#include <QImage>
#include <QMutex>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QCamera;
class QQmlApplicationEngine;
class ImageProvider;
class OcrLite;

// The application object and controller that QML calls as "app".
class SpoolsmithApp : public QApplication
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version WRITE setVersion NOTIFY versionChanged)
    Q_PROPERTY(int taskStatus READ taskStatus WRITE setTaskStatus NOTIFY taskStatusChanged)
    Q_PROPERTY(bool enabledTest READ enabledTest WRITE setEnabledTest NOTIFY enabledTestChanged)
    Q_PROPERTY(QString printImgPath READ printImgPath WRITE setPrintImgPath NOTIFY printImgPathChanged)
    Q_PROPERTY(QString framePath READ framePath WRITE setFramePath NOTIFY framePathChanged)
    Q_PROPERTY(int fps READ fps WRITE setFps NOTIFY fpsChanged)

public:
    SpoolsmithApp(int &argc, char **argv);
    ~SpoolsmithApp() override;

    // The process-wide application object, set by the program entry.
    static SpoolsmithApp *instance();
    static void setInstance(SpoolsmithApp *app);

    // Once Config and the driver exist: connections, log levels, task settings.
    bool initApp();
    // Keeps the engine; the camera hand-shake wires itself to its QML camera.
    void connectCamera(QQmlApplicationEngine *engine);
    // After the event loop: ends what the application runs.
    bool shutdown();

    Q_INVOKABLE void exitApp(int code = 0);
    Q_INVOKABLE int exitCode() const;
    Q_INVOKABLE bool allowedExit();
    Q_INVOKABLE QString appPath() const;
    Q_INVOKABLE QString currentDateTimeString() const;

    bool loadTaskSettings();

    QString version() const;
    void setVersion(const QString &version);
    int taskStatus() const;
    void setTaskStatus(int status);
    bool enabledTest() const;
    void setEnabledTest(bool on);

    // Task settings, read by the job threads.
    bool taskEnablePrint() const { return m_enablePrint.loadRelaxed(); }

    // Cameras, frames and OCR (camera_frames.cpp, check_camera.cpp, ocr_setup.cpp).
    // The provider is handed once to the QML engine, which then owns it.
    ImageProvider *takeImageProvider();
    QCamera *checkCamera() const { return m_checkCamera; }
    OcrLite &ocr() { return *m_ocr; }
    // Start-up, in this order: the check camera (the first industrial one
    // when none is set), the OCR models, then, when the check camera is an
    // industrial camera that was found, open it and run the frame loop.
    void chooseCheckCamera();
    bool initOcr();
    bool startCameraFrames();
    void stopCameraFrames();
    void cameraFrameLoop();
    bool frameLoopRunning() const { return m_frameThread.joinable(); }
    quint64 frameLoopCycles() const { return m_frameCycles.load(); }
    QImage currentFrame() const;
    // The print preview gets a new address each time it is stored.
    void setPrintPreview(const QImage &image);
    QImage imageForUrl(const QString &url) const;
    QString printImgPath() const;
    void setPrintImgPath(const QString &path);
    QString framePath() const;
    void setFramePath(const QString &path);
    int fps() const { return m_fps.load(); }
    void setFps(int fps);
    Q_INVOKABLE bool saveFrame(const QString &fileName);
    Q_INVOKABLE bool startRecorder(const QString &fileName);
    Q_INVOKABLE void stopRecorder();

public slots:
    void onPropertyChanged(Config::ConfigParamType key, const QVariant &value);
    void checkCameraChanged();

signals:
    void versionChanged();
    void taskStatusChanged();
    void enabledTestChanged();
    void printImgPathChanged();
    void framePathChanged();
    void fpsChanged();

private:
    QString m_version = QStringLiteral("2.1.5");
    QAtomicInt m_taskStatus = 2;
    QAtomicInt m_exitCode = 0;
    bool m_enabledTest = false;
    bool m_runOnce = false;
    QQmlApplicationEngine *m_engine = nullptr;

    QAtomicInt m_enablePrint = 0;
    QAtomicInt m_enableOCR = 0;
    QAtomicInt m_enableQRCode = 0;
    QAtomicInt m_enableBARCode = 0;
    double m_threshold = 0.6;
    double m_iouThreshold = 0.6;
    QString m_modelPath;
    mutable QMutex m_taskSettingsLock;

    // Camera frames and the print preview; m_frameLock guards the pictures
    // and their addresses, the frame loop writes from its own thread.
    mutable QMutex m_frameLock;
    QImage m_printPreview;
    QImage m_currentFrame;
    QString m_printImgPath;
    QString m_framePath;
    std::atomic<int> m_fps{0};
    ImageProvider *m_imageProvider = nullptr;
    QCamera *m_checkCamera = nullptr;
    std::unique_ptr<OcrLite> m_ocr;
    std::thread m_frameThread;
    std::atomic<bool> m_stopFrames{false};
    std::atomic<quint64> m_frameCycles{0};
    std::mutex m_stopLock;
    std::condition_variable m_stopWake;
};
