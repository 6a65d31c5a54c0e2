#pragma once

#include "config.h"

#include <QApplication>
#include <QAtomicInt>
#include <QString>

class QQmlApplicationEngine;

// The application object and controller that QML calls as "app".
class SpoolsmithApp : public QApplication
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version WRITE setVersion NOTIFY versionChanged)
    Q_PROPERTY(int taskStatus READ taskStatus WRITE setTaskStatus NOTIFY taskStatusChanged)
    Q_PROPERTY(bool enabledTest READ enabledTest WRITE setEnabledTest NOTIFY enabledTestChanged)

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

    // A file or folder dialog's URL as a local path (dialog_path.cpp).
    Q_INVOKABLE QString toLocalPath(const QVariant &url) const;

    bool loadTaskSettings();

    QString version() const;
    void setVersion(const QString &version);
    int taskStatus() const;
    void setTaskStatus(int status);
    bool enabledTest() const;
    void setEnabledTest(bool on);

    // Task settings, read by the job threads.
    bool taskEnablePrint() const { return m_enablePrint.loadRelaxed(); }

public slots:
    void onPropertyChanged(Config::ConfigParamType key, const QVariant &value);

signals:
    void versionChanged();
    void taskStatusChanged();
    void enabledTestChanged();

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
};
