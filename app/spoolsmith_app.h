#pragma once

#include "config.h"
#include "page_code_lookup.h"

#include <opencv2/core.hpp>

#include <QApplication>
#include <QAtomicInt>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <QVariant>

class QQmlApplicationEngine;
class GScene;
class GraphicsView;

// The application object and controller that QML calls as "app".
class SpoolsmithApp : public QApplication
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version WRITE setVersion NOTIFY versionChanged)
    Q_PROPERTY(int taskStatus READ taskStatus WRITE setTaskStatus NOTIFY taskStatusChanged)
    Q_PROPERTY(bool enabledTest READ enabledTest WRITE setEnabledTest NOTIFY enabledTestChanged)
    Q_PROPERTY(QString cutShowFile READ cutShowFile WRITE setCutShowFile NOTIFY cutShowFileChanged)
    Q_PROPERTY(QString cutFile READ cutFile WRITE setCutFile NOTIFY cutFileChanged)
    Q_PROPERTY(QString saveFile READ saveFile WRITE setSaveFile NOTIFY saveFileChanged)

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

    // Cut file, cut scene and plot data (cut_file.cpp, plot_data.cpp,
    // page_code_switch.cpp).
    QString cutShowFile() const;
    void setCutShowFile(const QString &path);
    QString cutFile() const;
    void setCutFile(const QString &path);
    QString saveFile() const;
    void setSaveFile(const QString &path);
    void openTvaCutFile(const QString &path);
    // Rebuilds the driver's plot data through t; also returns it.
    QByteArray generatePltData(const QTransform &t);
    bool loadTemplate();
    QImage renderCutMask() const;
    Q_INVOKABLE QList<QPointF> currentPageMarkPoint(bool scan);
    Q_INVOKABLE int pageMarkType();
    Q_INVOKABLE QVariant getCutGraphicsView();
    GScene *cutScene() const { return m_cutScene; }
    GraphicsView *cutView() const { return m_cutView; }
    QSizeF cutPageSize() const;
    cv::Mat inspectionTemplate() const;
    QString sceneFile() const;
    // Page-code switch of the cut file, around the first mark scan.
    void setSwitchCutFile(bool on);
    bool switchCutFile() const { return m_switchCutFile.loadRelaxed() != 0; }
    void setPageCode(quint32 code) { m_pageCode.storeRelaxed(code); }
    quint32 pageCode() const { return m_pageCode.loadRelaxed(); }
    QString cutWorkCutFile() const;
    // The statistics store's look-up of a page code; none finds nothing.
    void setPageCodeLookup(PageCodeLookup lookup);

    // Task settings, read by the job threads.
    bool taskEnablePrint() const { return m_enablePrint.loadRelaxed(); }

public slots:
    void onPropertyChanged(Config::ConfigParamType key, const QVariant &value);
    void onOpenScene(const QString &path);

signals:
    void versionChanged();
    void taskStatusChanged();
    void enabledTestChanged();
    void cutShowFileChanged();
    void cutFileChanged();
    void saveFileChanged();
    void openScene(const QString &cutFile);

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

    // Cut file and cut scene.
    void initCutScene();
    void openSceneBlocking(const QString &path);
    GraphicsView *m_cutView = nullptr;
    GScene *m_cutScene = nullptr;
    QString m_cutShowFile;
    QString m_cutFile;
    QString m_sceneFile;
    QString m_saveFile;
    QSizeF m_cutPageSize;
    cv::Mat m_inspectionTemplate;
    mutable QMutex m_cutLock; // the paths and template read by the task thread
    QAtomicInt m_switchCutFile = 0;
    QAtomicInteger<quint32> m_pageCode = 0;
    PageCodeRecords m_cutWork;
    PageCodeLookup m_pageCodeLookup;
};
