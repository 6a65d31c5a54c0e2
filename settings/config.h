#pragma once

#include "settings/config_types.h"
#include "settings/db_config.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <mutex>

class DefaultsFile;
class LiveSettings;
class ProductionCounters;
class QSettings;
class SettingsFileWriter;
class SettingsSaveWatch;
class SceneSettingsPort;
struct CutterPenKeys;

// The settings object: INI files beside the program, the parameter table,
// the typed properties QML binds to, pending edits of the settings dialog and
// the defaults file. Called from the GUI, task, poll and collect threads; one
// recursive lock guards the maps, the members and the live store, and signals
// are emitted outside it.
class Config : public QObject
{
    Q_OBJECT

    Q_PROPERTY(int version READ version WRITE setVersion NOTIFY versionChanged)
    Q_PROPERTY(QString ident READ ident WRITE setIdent NOTIFY identChanged)
    Q_PROPERTY(QString markCamera READ markCamera WRITE setMarkCamera NOTIFY markCameraChanged)
    Q_PROPERTY(QString checkCamera READ checkCamera WRITE setCheckCamera NOTIFY checkCameraChanged)
    Q_PROPERTY(int checkCameraRotation READ checkCameraRotation WRITE setCheckCameraRotation NOTIFY checkCameraRotationChanged)
    Q_PROPERTY(int showCamera READ showCamera WRITE setShowCamera NOTIFY showCameraChanged)
    Q_PROPERTY(bool trim READ trim WRITE setTrim NOTIFY trimChanged)
    Q_PROPERTY(double markCameraOffsetX READ markCameraOffsetX WRITE setMarkCameraOffsetX NOTIFY markCameraOffsetXChanged)
    Q_PROPERTY(double markCameraOffsetY READ markCameraOffsetY WRITE setMarkCameraOffsetY NOTIFY markCameraOffsetYChanged)
    Q_PROPERTY(double checkCameraOffsetY READ checkCameraOffsetY WRITE setCheckCameraOffsetY NOTIFY checkCameraOffsetYChanged)
    // Production counters: the day's and the running totals, mirrored into
    // the INI file and the statistics store on every change.
    Q_PROPERTY(double todayCut READ todayCut WRITE setTodayCut NOTIFY todayCutChanged)
    Q_PROPERTY(double todayPrint READ todayPrint WRITE setTodayPrint NOTIFY todayPrintChanged)
    Q_PROPERTY(int todayCopies READ todayCopies WRITE setTodayCopies NOTIFY todayCopiesChanged)
    Q_PROPERTY(int todayScanMark READ todayScanMark WRITE setTodayScanMark NOTIFY todayScanMarkChanged)
    Q_PROPERTY(int todayScanMarkOk READ todayScanMarkOk WRITE setTodayScanMarkOk NOTIFY todayScanMarkOkChanged)
    Q_PROPERTY(double totalCut READ totalCut WRITE setTotalCut NOTIFY totalCutChanged)
    Q_PROPERTY(double totalPrint READ totalPrint WRITE setTotalPrint NOTIFY totalPrintChanged)
    Q_PROPERTY(quint64 totalCopies READ totalCopies WRITE setTotalCopies NOTIFY totalCopiesChanged)
    Q_PROPERTY(quint64 totalScanMark READ totalScanMark WRITE setTotalScanMark NOTIFY totalScanMarkChanged)
    Q_PROPERTY(quint64 totalScanMarkOk READ totalScanMarkOk WRITE setTotalScanMarkOk NOTIFY totalScanMarkOkChanged)
    Q_PROPERTY(bool autoRoll READ autoRoll WRITE setAutoRoll NOTIFY autoRollChanged)
    Q_PROPERTY(double gyroscopeTrigger READ gyroscopeTrigger WRITE setGyroscopeTrigger NOTIFY gyroscopeTriggerChanged)
    Q_PROPERTY(double gyroscopeLimit READ gyroscopeLimit WRITE setGyroscopeLimit NOTIFY gyroscopeLimitChanged)
    Q_PROPERTY(double filmRollerTrigger READ filmRollerTrigger WRITE setFilmRollerTrigger NOTIFY filmRollerTriggerChanged)
    Q_PROPERTY(double filmRollerLimit READ filmRollerLimit WRITE setFilmRollerLimit NOTIFY filmRollerLimitChanged)
    Q_PROPERTY(double filmRollerMax READ filmRollerMax WRITE setFilmRollerMax NOTIFY filmRollerMaxChanged)
    Q_PROPERTY(double collectRollerTrigger READ collectRollerTrigger WRITE setCollectRollerTrigger NOTIFY collectRollerTriggerChanged)
    Q_PROPERTY(double collectRollerLimit READ collectRollerLimit WRITE setCollectRollerLimit NOTIFY collectRollerLimitChanged)
    Q_PROPERTY(double collectRollerMax READ collectRollerMax WRITE setCollectRollerMax NOTIFY collectRollerMaxChanged)
    Q_PROPERTY(double printRollerTrigger READ printRollerTrigger WRITE setPrintRollerTrigger NOTIFY printRollerTriggerChanged)
    Q_PROPERTY(double printRollerLimit READ printRollerLimit WRITE setPrintRollerLimit NOTIFY printRollerLimitChanged)
    Q_PROPERTY(double printRollerMax READ printRollerMax WRITE setPrintRollerMax NOTIFY printRollerMaxChanged)
    Q_PROPERTY(int markCameraWidth READ markCameraWidth WRITE setMarkCameraWidth NOTIFY markCameraWidthChanged)
    Q_PROPERTY(int markCameraHeight READ markCameraHeight WRITE setMarkCameraHeight NOTIFY markCameraHeightChanged)
    Q_PROPERTY(double markSize READ markSize WRITE setMarkSize NOTIFY markSizeChanged)
    Q_PROPERTY(int tirmYSpeed READ tirmYSpeed WRITE setTirmYSpeed NOTIFY tirmYSpeedChanged)
    Q_PROPERTY(double tirmOffset READ tirmOffset WRITE setTirmOffset NOTIFY tirmOffsetChanged)
    Q_PROPERTY(QDate today READ today WRITE setToday NOTIFY todayChanged)
    Q_PROPERTY(int markLight READ markLight WRITE setMarkLight NOTIFY markLightChanged)
    Q_PROPERTY(int checkBKLight READ checkBKLight WRITE setCheckBKLight NOTIFY checkBKLightChanged)
    Q_PROPERTY(int checkLight READ checkLight WRITE setCheckLight NOTIFY checkLightChanged)
    Q_PROPERTY(double collectScale READ collectScale WRITE setCollectScale NOTIFY collectScaleChanged)
    Q_PROPERTY(double tirmScale READ tirmScale WRITE setTirmScale NOTIFY tirmScaleChanged)
    Q_PROPERTY(bool rectifyInit READ rectifyInit WRITE setRectifyInit NOTIFY rectifyInitChanged)
    Q_PROPERTY(double checkCameraCenterX READ checkCameraCenterX WRITE writeCheckCameraCenterX NOTIFY checkCameraCenterXChanged)
    Q_PROPERTY(bool enableRectify READ enableRectify WRITE setEnableRectify NOTIFY enableRectifyChanged)
    Q_PROPERTY(double pageSpacing READ pageSpacing WRITE setPageSpacing NOTIFY pageSpacingChanged)
    Q_PROPERTY(int language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool enablePrint READ enablePrint WRITE setEnablePrint NOTIFY enablePrintChanged)
    Q_PROPERTY(bool enablePrintRoller READ enablePrintRoller WRITE setEnablePrintRoller NOTIFY enablePrintRollerChanged)
    Q_PROPERTY(bool enableGyroscope READ enableGyroscope WRITE setEnableGyroscope NOTIFY enableGyroscopeChanged)
    Q_PROPERTY(bool enableScanAndTrim READ enableScanAndTrim WRITE setEnableScanAndTrim NOTIFY enableScanAndTrimChanged)
    Q_PROPERTY(bool trimReset READ trimReset WRITE setTrimReset NOTIFY trimResetChanged)
    Q_PROPERTY(bool rectifyReset READ rectifyReset WRITE setRectifyReset NOTIFY rectifyResetCanged)
    Q_PROPERTY(bool usedQMLCamera READ usedQMLCamera WRITE setUsedQMLCamera NOTIFY usedQMLCameraChanged)
    // Scene-bound: read and written through the cut scene (config_scene.cpp).
    Q_PROPERTY(bool autoSort READ autoSort WRITE setAutoSort NOTIFY autoSortChanged)
    Q_PROPERTY(bool closeCompensate READ closeCompensate WRITE setCloseCompensate NOTIFY closeCompensateChanged)
    Q_PROPERTY(double closeCompensateVal READ closeCompensateVal WRITE setCloseCompensateVal NOTIFY closeCompensateValChanged)
    Q_PROPERTY(bool knifeCompensate READ knifeCompensate WRITE setKnifeCompensate NOTIFY knifeCompensateChanged)
    Q_PROPERTY(double knifeCompensateVal READ knifeCompensateVal WRITE setKnifeCompensateVal NOTIFY knifeCompensateValChanged)

public:
    enum ConfigParamType {
        CPT_Gyroscope_Trigger = 0,
        CPT_Gyroscope_Limit,
        CPT_Gyroscope_speed,
        CPT_Print_Roller_Trigger,
        CPT_Print_Roller_Limit,
        CPT_Print_Roller_Max,
        CPT_Film_Roller_Trigger,
        CPT_Film_Roller_Limit,
        CPT_Film_Roller_Max,
        CPT_Film_Speed,
        CPT_Collect_Roller_Trigger,
        CPT_Collect_Roller_Limit,
        CPT_Collect_Roller_Max,
        CPT_Collect_Speed,
        CPT_Rectify_Speed,
        CPT_Rectify_Span,
        CPT_Rectify_Len,
        CPT_Poll_Time_Span,
        CPT_printCopiesOnce,
        CPT_printPagesOnce,
        CPT_LOG_ERROR,
        CPT_LOG_WARNNING,
        CPT_LOG_INFO,
        CPT_LOG_DEBUG,
        CPT_Enable_Gyroscope,
        CPT_Enable_Print,
        CPT_Enable_Print_Roller,
        CPT_Enable_DrawLine,
        CPT_Enable_Rectify,
        CPT_Enable_OCR,
        CPT_Enable_QRCode,
        CPT_Enable_BARCode,
        CPT_MODEL_Path,
        CPT_Threshold,
        CPT_iou_Threshold,
        CPT_Enable_ScanAndTrim,
        CPT_PageSpacing,
        CPT_Version,
        CPT_Check_Camera_Rotation,
        CPT_SAVE_Check_Img,
        CPT_Printer_Name,
        CPT_Printer_Copies,
        CPT_Wait_Print,
        CPT_Wait_Capture,
        CPT_wait_TcpRet_Msecs,
        CPT_wait_TcpRet_Msecs_Max,
        CPT_RIIN_Path,
        CPT_RIIN_Input,
        CPT_Enable_RIIN_Input,
        CPT_Printer_Soft_Path,
        CPT_Package_size,
        CPT_Min_PaperWidthPix,
        CPT_Max_RectifyOffset,
        CPT_Film_Roller_Num,
        CPT_Collect_Roller_Num,
        CPT_Enable_Print_Marker_Type,
        CPT_Enable_Cut_Marker_Type,
        CPT_Plt_Dir,
        CPT_Cut_Inverse,
        CPT_IP,
    };
    Q_ENUM(ConfigParamType)

    enum ModuleType { MT_Control = 0, MT_Driver = 1, MT_Sensor = 2, MT_Trim = 3 };
    Q_ENUM(ModuleType)

    // programDir is the folder of config.ini and its siblings; empty means the
    // folder of the program file.
    explicit Config(const QString &programDir = QString(), QObject *parent = nullptr);
    // databasePath: the statistics store; "config.db" in the working
    // directory unless given.
    Config(const QString &programDir, const QString &databasePath, QObject *parent = nullptr);
    // clock: the local time the day counters go by; empty means the computer's.
    Config(const QString &programDir, const QString &databasePath, std::function<QDateTime()> clock,
           QObject *parent = nullptr);
    ~Config() override;

    // The process-wide settings object, set by the program entry.
    static Config *instance();
    static void setInstance(Config *config);

    // Read pass (save false) or write pass (save true) over every key.
    void initParams(bool save);

    // Table readers and writers.
    Q_INVOKABLE QStringList getModuleName() const;
    Q_INVOKABLE QList<int> getModules() const;
    Q_INVOKABLE bool containModules(int module) const;
    Q_INVOKABLE QStringList getShowPropertiesClass() const;
    Q_INVOKABLE QList<int> getShowProperties(const QString &group) const;
    Q_INVOKABLE QString getPropertyName(Config::ConfigParamType key) const;
    Q_INVOKABLE void setPropertyName(Config::ConfigParamType key, const QString &name);
    Q_INVOKABLE QVariant getProperty(Config::ConfigParamType key) const;
    Q_INVOKABLE void setProperty(Config::ConfigParamType key, const QVariant &value);
    Q_INVOKABLE QVariant getDefaultProperty(Config::ConfigParamType key) const;
    Q_INVOKABLE void saveDefaultProperty(Config::ConfigParamType key, const QVariant &value);
    Q_INVOKABLE void saveTmp(Config::ConfigParamType key, const QVariant &value);
    Q_INVOKABLE void saveCfg();
    Q_INVOKABLE void saveDefaultCfg();
    Q_INVOKABLE void resetDefaultCfg();
    Q_INVOKABLE bool isShowPorperty(const QString &group) const;
    Q_INVOKABLE bool isShowPorperty(Config::ConfigParamType key) const;
    Q_INVOKABLE void setCheckCameraName(const QString &name);

    // True while the camera has no entry in the per-camera flag map.
    bool usedQMLCameraAt(int camera) const;
    // Pending edits of the settings dialog, for tests and the dialog.
    QMap<int, QVariant> pendingEdits() const;
    QString configPath() const { return m_configPath; }
    QString defaultPath() const { return m_defaultPath; }
    // The file the live store writes into (config.ini, or tmp.ini while
    // config.ini was missing at start).
    QString liveStorePath() const;

    // The industrial camera serial numbers, asked by setCheckCamera; the
    // camera subsystem installs the real list.
    void setIndustrialCameraLister(std::function<QStringList()> lister);
    // Shows an information box (title, text) and returns once it is closed;
    // the application installs its boxes. Without one the text is logged.
    void setInformationHook(std::function<void(const QString &, const QString &)> hook);

    // Plain properties.
    QString ident() const;
    void setIdent(const QString &v);
    QString markCamera() const;
    void setMarkCamera(const QString &v);
    QString checkCamera() const;
    void setCheckCamera(const QString &id);
    QString checkCameraName() const;
    int showCamera() const;
    void setShowCamera(int camera);
    bool trim() const;
    void setTrim(bool v);
    double markCameraOffsetX() const;
    void setMarkCameraOffsetX(double v);
    double markCameraOffsetY() const;
    void setMarkCameraOffsetY(double v);
    double checkCameraOffsetY() const;
    void setCheckCameraOffsetY(double v);
    bool autoRoll() const;
    void setAutoRoll(bool v);
    int markCameraWidth() const;
    void setMarkCameraWidth(int v);
    int markCameraHeight() const;
    void setMarkCameraHeight(int v);
    double markSize() const;
    void setMarkSize(double v);
    int tirmYSpeed() const;
    void setTirmYSpeed(int v);
    double tirmOffset() const;
    void setTirmOffset(double v);
    int markLight() const;
    void setMarkLight(int v);
    int checkBKLight() const;
    void setCheckBKLight(int v);
    int checkLight() const;
    void setCheckLight(int v);
    double collectScale() const;
    void setCollectScale(double v);
    double tirmScale() const;
    void setTirmScale(double v);
    int language() const;
    void setLanguage(int v);
    double checkCameraCenterX() const;
    void writeCheckCameraCenterX(double v);

    // Run-time flags, never stored.
    bool rectifyInit() const;
    void setRectifyInit(bool v);
    bool rectifyReset() const;
    void setRectifyReset(bool v);
    bool trimReset() const;
    void setTrimReset(bool v);
    bool usedQMLCamera() const;
    void setUsedQMLCamera(bool v);

    // Production counters. Lengths are metres; the setters compare exactly.
    double todayCut() const;
    void setTodayCut(double v);
    double todayPrint() const;
    void setTodayPrint(double v);
    int todayCopies() const;
    void setTodayCopies(int v);
    int todayScanMark() const;
    void setTodayScanMark(int v);
    int todayScanMarkOk() const;
    void setTodayScanMarkOk(int v);
    double totalCut() const;
    void setTotalCut(double v);
    double totalPrint() const;
    void setTotalPrint(double v);
    quint64 totalCopies() const;
    void setTotalCopies(quint64 v);
    quint64 totalScanMark() const;
    void setTotalScanMark(quint64 v);
    quint64 totalScanMarkOk() const;
    void setTotalScanMarkOk(quint64 v);
    QDate today() const;
    // The local time the day counters go by; the production records are
    // stamped with it, so a copy's records and its count name the same day.
    QDateTime now() const;
    // Moves the day counters to date: they show its row; the day left keeps
    // its own.
    void setToday(const QDate &date);
    // Adds delta to the day's and the total counters as one change: one
    // database transaction, one INI write. A process killed at any moment
    // leaves the copy counted once or not at all.
    void addCounts(const WorkDataRecord &delta);
    WorkDataRecord dayRecord() const;
    WorkDataRecord totalRecord() const;
    // The counters' part, owned for the whole run.
    ProductionCounters &counters();
    // The statistics store, owned for the whole run.
    DbConfig &db() { return *m_db; }

    // Table-backed properties.
    int version() const;
    void setVersion(int version);
    int checkCameraRotation() const;
    void setCheckCameraRotation(int v);
    double gyroscopeTrigger() const;
    void setGyroscopeTrigger(double v);
    double gyroscopeLimit() const;
    void setGyroscopeLimit(double v);
    double printRollerTrigger() const;
    void setPrintRollerTrigger(double v);
    double printRollerLimit() const;
    void setPrintRollerLimit(double v);
    double printRollerMax() const;
    void setPrintRollerMax(double v);
    double filmRollerTrigger() const;
    void setFilmRollerTrigger(double v);
    double filmRollerLimit() const;
    void setFilmRollerLimit(double v);
    double filmRollerMax() const;
    void setFilmRollerMax(double v);
    double collectRollerTrigger() const;
    void setCollectRollerTrigger(double v);
    double collectRollerLimit() const;
    void setCollectRollerLimit(double v);
    double collectRollerMax() const;
    void setCollectRollerMax(double v);
    bool enableGyroscope() const;
    void setEnableGyroscope(bool v);
    bool enablePrint() const;
    void setEnablePrint(bool v);
    bool enablePrintRoller() const;
    void setEnablePrintRoller(bool v);
    bool enableRectify() const;
    void setEnableRectify(bool v);
    bool enableScanAndTrim() const;
    void setEnableScanAndTrim(bool v);
    double pageSpacing() const;
    void setPageSpacing(double v);

    // Scene-bound settings: the cut scene's sort switch and its cutter pen.
    // The program entry installs the port to the cut scene; without one (or
    // without a scene) reads give fallbacks and writes do nothing.
    static void setScenePort(std::shared_ptr<SceneSettingsPort> port);
    bool autoSort() const;
    void setAutoSort(bool on);
    bool closeCompensate() const;
    void setCloseCompensate(bool on);
    double closeCompensateVal() const;
    void setCloseCompensateVal(double mm);
    bool knifeCompensate() const;
    void setKnifeCompensate(bool on);
    double knifeCompensateVal() const;
    void setKnifeCompensateVal(double mm);
    // Repaints the cut view and writes the pen's seven keys to the live store.
    void savePenSettings(const CutterPenKeys &pen);

signals:
    void versionChanged();
    void identChanged();
    void markCameraChanged();
    void checkCameraChanged();
    void checkCameraRotationChanged();
    void showCameraChanged();
    void trimChanged();
    void markCameraOffsetXChanged();
    void checkCameraOffsetYChanged();
    void markCameraOffsetYChanged();
    void todayCutChanged();
    void todayPrintChanged();
    void todayCopiesChanged();
    void todayScanMarkChanged();
    void todayScanMarkOkChanged();
    void totalCutChanged();
    void totalPrintChanged();
    void totalCopiesChanged();
    void totalScanMarkChanged();
    void totalScanMarkOkChanged();
    void autoRollChanged();
    void gyroscopeTriggerChanged();
    void gyroscopeLimitChanged();
    void filmRollerLimitChanged();
    void filmRollerTriggerChanged();
    void collectRollerLimitChanged();
    void collectRollerTriggerChanged();
    void printRollerLimitChanged();
    void printRollerTriggerChanged();
    void markCameraWidthChanged();
    void markCameraHeightChanged();
    void markSizeChanged();
    void tirmYSpeedChanged();
    void collectRollerMaxChanged();
    void filmRollerMaxChanged();
    void printRollerMaxChanged();
    void tirmOffsetChanged();
    void todayChanged();
    void markLightChanged();
    void checkBKLightChanged();
    void checkLightChanged();
    void collectScaleChanged();
    void tirmScaleChanged();
    void rectifyInitChanged();
    void languageChanged();
    void checkCameraCenterXChanged();
    void enableRectifyChanged();
    void pageSpacingChanged();
    void enablePrintChanged();
    void enablePrintRollerChanged();
    void enableGyroscopeChanged();
    void enableScanAndTrimChanged();
    void trimResetChanged();
    void rectifyResetCanged();
    void usedQMLCameraChanged();
    void autoSortChanged();
    void closeCompensateChanged();
    void closeCompensateValChanged();
    void knifeCompensateChanged();
    void knifeCompensateValChanged();
    void propertyChanged(Config::ConfigParamType key, const QVariant &value);
    // Asks the application to end with code (777 restarts the program).
    void exitRequested(int code);
    // A save of the settings dialog (saveCfg, saveDefaultCfg) did not reach
    // its file: the operator's message, naming the file and why.
    void settingsNotSaved(const QString &message);

private:
    // Registering overloads: one table parameter.
    void updateValue(const QString &key, const int &def, bool save, ConfigParamType id,
                     const QString &group, const QString &label);
    void updateValue(const QString &key, const double &def, bool save, ConfigParamType id,
                     const QString &group, const QString &label);
    void updateValue(const QString &key, const QString &def, bool save, ConfigParamType id,
                     const QString &group, const QString &label);
    void updateValue(const QString &key, const bool &def, bool save, ConfigParamType id,
                     const QString &group, const QString &label);
    // Plain overloads: one property outside the table.
    void updateValue(const QString &key, int &member, int def, bool save);
    void updateValue(const QString &key, uint &member, uint def, bool save);
    void updateValue(const QString &key, float &member, float def, bool save);
    void updateValue(const QString &key, double &member, double def, bool save);
    void updateValue(const QString &key, QDate &member, const QDate &def, bool save);
    void updateValue(const QString &key, QString &member, const QString &def, bool save);
    void updateValue(const QString &key, bool &member, bool def, bool save);

    void registerParam(const QString &key, const QVariant &def, bool save, ConfigParamType id,
                       const QString &group, const QString &label);
    template <typename T>
    void updatePlain(const QString &key, T &member, const T &def, bool save);
    void registerTableParams(bool save);
    void applyStartRules();
    QString groupTitle(int group) const;

    void openLiveStore();
    // Copies the machine variant's settings over config.ini; false when
    // config.ini could not be written.
    bool installVariant(int version);
    // Counters: the read or write pass over their keys, and one change.
    void updateCounterValues(bool save);
    void setCounter(bool total, int field, const QVariant &value);
    void emitCounterChanges(int changed);
    void emitCounterSignal(bool total, int field);
    void writeKey(const QString &key, const QVariant &value);
    // Writes the settings file out and waits for it (bounded); never under
    // the lock, which the writer takes.
    void syncSettings();
    QVariant readKey(const QString &key, const QVariant &def) const;
    void emitTypedSignal(ConfigParamType key);
    void cascade(ConfigParamType key, const QVariant &value);
    QVariant tableValue(ConfigParamType key) const;
    // Applies change to the cut scene's cutter pen and stores the pen; false
    // when there is no scene or it may not change now.
    bool changePen(const char *who, const std::function<void(SceneSettingsPort &)> &change);
    void storePen(const CutterPenKeys &pen);

    mutable std::recursive_mutex m_lock;
    QString m_defaultPath;
    QString m_configPath;
    QString m_programDir;
    // Whether the dialog's saves reach config.ini (or tmp.ini) and the
    // defaults file; told by the writers below.
    std::unique_ptr<SettingsSaveWatch> m_liveSaves;
    std::unique_ptr<SettingsSaveWatch> m_defaultSaves;
    // The settings in memory, and the one writer of their file.
    std::unique_ptr<LiveSettings> m_settings;
    std::unique_ptr<SettingsFileWriter> m_writer;
    std::unique_ptr<DefaultsFile> m_defaults;
    QString m_livePath;
    bool m_liveIsConfigIni = false;
    bool m_liveUnreadable = false; // config.ini could not be read or parsed
    bool m_variantInstallFailed = false; // config.ini could not be written this run

    QString m_ident;
    QString m_markCamera;
    QString m_checkCamera;
    QString m_checkCameraName;
    int m_showCamera = 0;
    bool m_trim = false;
    double m_markCameraOffsetX = 0.0;
    double m_markCameraOffsetY = 0.0;
    double m_checkCameraOffsetY = 0.0;
    bool m_autoRoll = false;
    int m_markCameraWidth = 320;
    int m_markCameraHeight = 240;
    double m_markSize = 3.5;
    int m_tirmYSpeed = 150;
    double m_tirmOffset = 500.0;
    int m_markLight = 0;
    int m_checkBKLight = 0;
    int m_checkLight = 0;
    double m_collectScale = 1.0;
    double m_tirmScale = 1.0;
    int m_language = 0;
    bool m_rectifyInit = false;
    bool m_rectifyReset = false;
    bool m_trimReset = false;
    double m_checkCameraCenterX = 635.0;

    QMap<int, bool> m_usedQMLCamera;
    QMap<int, ParamInfo> m_params;
    QMap<QString, QList<int>> m_groups;
    QMap<int, QString> m_modules;
    QMap<int, QVariant> m_pending;

    QString m_titleLog;
    QString m_titleBasic;
    QString m_titleDetection;
    QString m_titlePrint;
    QString m_titleFlow;

    std::function<QStringList()> m_cameraLister;
    std::function<void(const QString &, const QString &)> m_informationHook;

    std::unique_ptr<DbConfig> m_db;
    std::unique_ptr<ProductionCounters> m_counters;
    // The counters have been read once, and begun, at the start.
    bool m_countersRead = false;
    bool m_countersBegun = false;
};
