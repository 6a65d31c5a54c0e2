#pragma once

#include "machine/machine_context.h"
#include "machine/protocol/frame_codec.h"
#include "machine/state/device_conditions.h"

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class CommandChannel;
class CommandSequences;
class CompositeOps;
class DeviceState;
class FirmwareUpload;
class JobRunner;
class LightCommands;
class LinkRequests;
class LinkSession;
class MachineCommands;
class MachineLink;
class MotorCommands;
class PlotBuffer;
class ReplyEffects;
class TaskEntries;
class TestCuts;
class taskInterface;
enum class DeviceField;

// The machine driver: the one object through which the program talks to the
// cutting and feeding machine. QML reaches it as "device". A face: its
// members forward to the parts it owns (link, command channel, device state,
// commands, firmware upload, job runner), each of one concern.
class TRV610Plus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString ident READ ident WRITE setIdent NOTIFY identChanged)
    Q_PROPERTY(QString ip READ ip WRITE setIp NOTIFY ipChanged)
    Q_PROPERTY(bool linked READ linked NOTIFY linkedChanged)
    Q_PROPERTY(float updateProgress READ updateProgress WRITE setUpdateProgress NOTIFY updateProgressChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    // --- Device state (device_state.cpp) ---
    Q_PROPERTY(QString devType READ devType WRITE setDevType NOTIFY devTypeChanged)
    Q_PROPERTY(QString devId READ devId WRITE setDevId NOTIFY devIdChanged)
    Q_PROPERTY(QString pcbId READ pcbId WRITE setPcbId NOTIFY pcbIdChanged)
    Q_PROPERTY(QString pcbVer READ pcbVer WRITE setPcbVer NOTIFY pcbVerChanged)
    Q_PROPERTY(QString firmware READ firmware WRITE setFirmware NOTIFY firmwareChanged)
    Q_PROPERTY(double printRoller READ printRoller WRITE setPrintRoller NOTIFY printRollerChanged)
    Q_PROPERTY(double filmRoller READ filmRoller WRITE setFilmRoller NOTIFY filmRollerChanged)
    Q_PROPERTY(double collectRoller READ collectRoller WRITE setCollectRoller NOTIFY collectRollerChanged)
    Q_PROPERTY(double gyroscope READ gyroscope WRITE setGyroscope NOTIFY gyroscopeChanged)
    Q_PROPERTY(int pressure READ pressure WRITE setPressure NOTIFY pressureChanged)
    Q_PROPERTY(int speed READ speed WRITE setSpeed NOTIFY speedChanged)
    Q_PROPERTY(double scalex READ scalex WRITE setScalex NOTIFY scalexChanged)
    Q_PROPERTY(double scaley READ scaley WRITE setScaley NOTIFY scaleyChanged)
    Q_PROPERTY(bool sensor1 READ sensor1 WRITE setSensor1 NOTIFY sensor1Changed)
    Q_PROPERTY(bool sensor2 READ sensor2 WRITE setSensor2 NOTIFY sensor2Changed)
    Q_PROPERTY(bool sensor3 READ sensor3 WRITE setSensor3 NOTIFY sensor3Changed)
    Q_PROPERTY(bool sensor4 READ sensor4 WRITE setSensor4 NOTIFY sensor4Changed)
    Q_PROPERTY(bool sensor5 READ sensor5 WRITE setSensor5 NOTIFY sensor5Changed)
    Q_PROPERTY(bool sensor6 READ sensor6 WRITE setSensor6 NOTIFY sensor6Changed)
    Q_PROPERTY(bool sensor7 READ sensor7 WRITE setSensor7 NOTIFY sensor7Changed)
    Q_PROPERTY(int cutModel READ cutModel WRITE setCutModel NOTIFY cutModelChanged)
    Q_PROPERTY(int cutMotorStatus READ cutMotorStatus WRITE setCutMotorStatus NOTIFY cutMotorStatusChanged)
    Q_PROPERTY(int markLight READ markLight WRITE setMarkLight NOTIFY markLightChanged)
    Q_PROPERTY(int checkBackgroundLight READ checkBackgroundLight WRITE setCheckBackgroundLight NOTIFY checkBackgroundLightChanged)
    Q_PROPERTY(int checkLightStrip READ checkLightStrip WRITE setCheckLightStrip NOTIFY checkLightStripChanged)
    Q_PROPERTY(QColor rgbLightStrip READ rgbLightStrip WRITE setRgbLightStrip NOTIFY rgbLightStripChanged)
    Q_PROPERTY(bool polling READ polling WRITE setPolling NOTIFY pollingChanged)
    Q_PROPERTY(qulonglong deviceState READ deviceState WRITE setDeviceState NOTIFY deviceStateChanged)
    Q_PROPERTY(QString updateFile READ updateFile WRITE setUpdateFile NOTIFY updateFileChanged)
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged)
    Q_PROPERTY(QString progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(bool feedMotorRunning READ feedMotorRunning WRITE setFeedMotorRunning NOTIFY feedMotorRunningChanged)
    Q_PROPERTY(bool filmMotorRunning READ filmMotorRunning WRITE setFilmMotorRunning NOTIFY filmMotorRunningChanged)
    Q_PROPERTY(bool collectMotorRunning READ collectMotorRunning WRITE setCollectMotorRunning NOTIFY collectMotorRunningChanged)

public:
    // Links over TCP.
    explicit TRV610Plus(QObject *parent = nullptr);
    // Links over the given link (tests: the in-process one).
    explicit TRV610Plus(std::unique_ptr<MachineLink> link, QObject *parent = nullptr);
    ~TRV610Plus() override;

    // The process-wide driver, set by the program entry.
    static TRV610Plus *instance();
    static void setInstance(TRV610Plus *device);

    // The machine to link to; an empty ident links to none.
    Q_INVOKABLE void setIdent(const QString &ident);
    QString ident() const;

    bool linked() const;

    float updateProgress() const;
    void setUpdateProgress(float progress);

    // The one operator-visible error channel; signals only on a new text.
    QString errorMessage() const;
    void setErrorMessage(const QString &text);

    // Ends everything the driver runs; safe to call more than once.
    void unInit();

    // --- Task entry points (task_entry.cpp) ---
    Q_INVOKABLE void wStart();
    Q_INVOKABLE void cut();
    Q_INVOKABLE void autoFindPoint();
    Q_INVOKABLE void autoCheckPoint();
    Q_INVOKABLE void cutRepeat();
    Q_INVOKABLE void checkCameraOffset();
    // Starts the worker on the task thread; takes ownership either way.
    bool createWork(taskInterface *worker);
    bool idle() const;
    // Waits for a running job thread to end (shut-down, tests).
    bool waitTaskThread(int timeoutMs);

    // --- Machine link (link.cpp, frame_io.cpp) ---
    QString ip() const;
    // A change drops the link and, for a non-empty address, links again.
    Q_INVOKABLE void setIp(const QString &ip);
    // setIp on the driver's own link thread (link_requests.cpp): connecting
    // and the start sequence take seconds with a slow machine, which the GUI
    // thread must not wait for. The newest request wins; a working link to
    // another address is kept (announcements are not authenticated).
    void requestIp(const QString &ip);
    // TCP port of the machine, 9100; tests point it elsewhere.
    int port() const;
    void setPort(int port);
    bool connected() const;
    bool link();

    static QByteArray packFrame(const QString &header, const QString &body);
    static QByteArray packRawFrame(const QByteArray &payload);
    // Sends one frame; with waitReturn, blocks until the reply of its wait key
    // (0: the command number of the frame) or the time-out.
    bool sendCMD(const QByteArray &frame, bool waitReturn = true, int key = 0);
    bool sendMsg(const QByteArray &frame);
    // Socket sends made by sendMsg so far (one per packet).
    quint64 packetsSent() const;
    void sendAsync(const QByteArray &frame);
    std::optional<MachineFrame::Reply> dealReturn(const QByteArray &frame);
    void decode(const QByteArray &frame);
    // The plot data (HPGL) the cut steps send; any thread (plot_buffer.cpp).
    QByteArray pltData() const;
    void setPltData(const QByteArray &data);
    void clearPltData();

    // --- Device state (device_state.cpp) ---
    // Conditions of the machine; the banner lists them in this order:
    // 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x200, 0x80 (0x100 has the
    // limit-switch text instead).
    enum DeviceStateBit : qulonglong {
        DS_Gyroscope = DeviceConditions::Gyroscope,
        DS_PrintRollerLimit = DeviceConditions::PrintRollerLimit,
        DS_PrintRollerFull = DeviceConditions::PrintRollerFull,
        DS_FilmRollerLimit = DeviceConditions::FilmRollerLimit,
        DS_FilmRollerFull = DeviceConditions::FilmRollerFull,
        DS_CollectRollerLimit = DeviceConditions::CollectRollerLimit,
        DS_CollectRollerFull = DeviceConditions::CollectRollerFull,
        DS_DefectFailed = DeviceConditions::DefectFailed,
        DS_AxisLimit = DeviceConditions::AxisLimit,
        DS_Rectify = DeviceConditions::Rectify,
    };
    Q_ENUM(DeviceStateBit)

    QString devType() const;
    void setDevType(const QString &v);
    QString devId() const;
    void setDevId(const QString &v);
    QString pcbId() const;
    void setPcbId(const QString &v);
    QString pcbVer() const;
    void setPcbVer(const QString &v);
    QString firmware() const;
    void setFirmware(const QString &v);
    double printRoller() const;
    void setPrintRoller(double v);
    double filmRoller() const;
    void setFilmRoller(double v);
    double collectRoller() const;
    void setCollectRoller(double v);
    double gyroscope() const;
    void setGyroscope(double v);
    int pressure() const;
    void setPressure(int v);
    int speed() const;
    void setSpeed(int v);
    double scalex() const;
    void setScalex(double v);
    double scaley() const;
    void setScaley(double v);
    bool sensor1() const { return sensor(0); }
    void setSensor1(bool v) { setSensor(0, v); }
    bool sensor2() const { return sensor(1); }
    void setSensor2(bool v) { setSensor(1, v); }
    bool sensor3() const { return sensor(2); }
    void setSensor3(bool v) { setSensor(2, v); }
    bool sensor4() const { return sensor(3); }
    void setSensor4(bool v) { setSensor(3, v); }
    bool sensor5() const { return sensor(4); }
    void setSensor5(bool v) { setSensor(4, v); }
    bool sensor6() const { return sensor(5); }
    void setSensor6(bool v) { setSensor(5, v); }
    bool sensor7() const { return sensor(6); }
    void setSensor7(bool v) { setSensor(6, v); }
    // Sensors 0 to 6 (sensor1 to sensor7).
    bool sensor(int i) const;
    void setSensor(int i, bool v);
    int cutModel() const;
    void setCutModel(int v);
    int cutMotorStatus() const;
    void setCutMotorStatus(int v);
    int markLight() const;
    void setMarkLight(int v);
    int checkBackgroundLight() const;
    void setCheckBackgroundLight(int v);
    int checkLightStrip() const;
    void setCheckLightStrip(int v);
    QColor rgbLightStrip() const;
    void setRgbLightStrip(const QColor &v);
    bool polling() const;
    // The poll and collect workers follow pollingChanged (direct connection).
    void setPolling(bool on);
    qulonglong deviceState() const;
    void setDeviceState(qulonglong state);
    // Sets and clears bits in one step under the state lock, so writers of
    // different bits never lose each other's.
    void changeDeviceState(qulonglong set, qulonglong clear);
    bool hasDeviceState(qulonglong bits) const { return (deviceState() & bits) != 0; }
    Q_INVOKABLE QString deviceStateString() const;
    QString limitText() const;
    QString updateFile() const;
    void setUpdateFile(const QString &v);
    int index() const;
    void setIndex(int v);
    QString progress() const;
    void setProgress(const QString &v);
    bool feedMotorRunning() const;
    void setFeedMotorRunning(bool v);
    bool filmMotorRunning() const;
    void setFilmMotorRunning(bool v);
    bool collectMotorRunning() const;
    void setCollectMotorRunning(bool v);

    // 0 paused, 1 running, 2 stopped.
    int taskStatus() const;
    void setTaskStatus(int status);

    // Readings without properties, for the cycles and job steps.
    QPointF devicePosition() const;
    QPointF origin() const;
    QSizeF storedWorkArea() const;
    int feedDirection() const;
    bool plotting() const;
    int collectMotorState() const;
    int rectifyMotorState() const;
    int trimXMotorState() const;
    int trimYMotorState() const;
    double rectifyLength() const;
    int pressureTestCount() const;

    // --- Command set (commands.cpp, motor_commands.cpp) ---
    Q_INVOKABLE bool rDeviceInfo();
    Q_INVOKABLE bool cutterXClear();
    Q_INVOKABLE bool wRectifyMotorReset();
    Q_INVOKABLE bool wTirmMotorYReset();
    Q_INVOKABLE bool rCutMotorStatus();
    Q_INVOKABLE bool rDevicePoint();
    Q_INVOKABLE bool wDevicePoint(int x, int y);
    Q_INVOKABLE bool rSpeed();
    Q_INVOKABLE bool wSpeed(double speed);
    Q_INVOKABLE bool rPressure();
    Q_INVOKABLE bool wPressure(double pressure);
    Q_INVOKABLE bool rScale();
    Q_INVOKABLE bool scale();
    Q_INVOKABLE bool wScale(double scalex, double scaley);
    Q_INVOKABLE bool setScale(double sx, double sy);
    Q_INVOKABLE bool rCutModel();
    Q_INVOKABLE bool wCutModel(int m);
    Q_INVOKABLE bool workArea();
    Q_INVOKABLE bool setWorkArea(const QSizeF &area);
    Q_INVOKABLE bool wPause();
    Q_INVOKABLE bool wResume();
    Q_INVOKABLE bool wStop();
    Q_INVOKABLE bool exitTask();
    Q_INVOKABLE bool rMarkLight();
    Q_INVOKABLE bool wMarkLight(int val);
    Q_INVOKABLE bool rCheckBackgroundLight();
    Q_INVOKABLE bool wCheckBackgroundLight(int val);
    Q_INVOKABLE bool rCheckLightStrip();
    Q_INVOKABLE bool wCheckLightStrip(int val);
    Q_INVOKABLE bool rRGBLightStrip();
    Q_INVOKABLE bool wRGBLightStrip(const QColor &color);
    Q_INVOKABLE bool wMoveX(int speed);
    Q_INVOKABLE bool wMoveY(int speed);
    Q_INVOKABLE bool wSaveToFactorySet();
    Q_INVOKABLE bool wFactoryReset();
    Q_INVOKABLE bool rSensor();
    Q_INVOKABLE bool rGyroscope();
    Q_INVOKABLE bool wFeedMotorSpeed(int speed);
    Q_INVOKABLE bool wFilmMotorSpeed(int speed);
    Q_INVOKABLE bool rRectifyMotor();
    Q_INVOKABLE bool wRectifyMotor(uint speed, float length);
    Q_INVOKABLE bool rCollectMotor();
    Q_INVOKABLE bool wCollectMotor(int speed, int length);
    Q_INVOKABLE bool rTrimMotorX();
    Q_INVOKABLE bool wTrimMotorX(int speed, int length);
    Q_INVOKABLE bool rTrimMotorY();
    Q_INVOKABLE bool wTrimMotorYSpeed(int speed);
    Q_INVOKABLE bool rPrePltSend();
    Q_INVOKABLE bool wPltSize();
    Q_INVOKABLE bool wPlt();
    // Whether the last accepted feed direction is still allowed by deviceState.
    bool isMoveXAllowed() const;
    static bool moveXAllowed(int direction, qulonglong state);

    // --- Composite operations (composite_ops.cpp) ---
    Q_INVOKABLE void setOrigin();
    Q_INVOKABLE void gotoOrigin();
    Q_INVOKABLE void moveOffset();
    bool wDevicePoint(const QPointF &pos);
    bool wDevicePoint(const QPointF &pos, int inter);

    // --- Test cuts of the camera page (test_cuts.cpp) ---
    // Each stores its plot data and starts a single cut; true when started.
    Q_INVOKABLE bool cut100mmRect();
    // A triangle in a square, moved along the web on each further run so the
    // cuts sit side by side (pressureTestCount).
    Q_INVOKABLE bool testPressure();
    static QByteArray pressureTestPattern(int count);

    // --- Firmware upload (firmware_upload.cpp) ---
    Q_INVOKABLE void update();
    // True from an upload request until its last byte left (or failed).
    bool uploadInProgress() const;

    // What the driver's parts and job workers use from outside the library.
    const MachineContext &context() const { return m_context; }

public slots:
    void slotUpgrade(int upgradeMode, const QByteArray &upgradeFile, const QVariantMap &paramList);

signals:
    void ipChanged();
    void identChanged();
    void linkedChanged();
    void updateProgressChanged();
    void errorMessageChanged();
    // --- Device state ---
    void devTypeChanged();
    void devIdChanged();
    void pcbIdChanged();
    void pcbVerChanged();
    void firmwareChanged();
    void printRollerChanged();
    void filmRollerChanged();
    void collectRollerChanged();
    void gyroscopeChanged();
    void pressureChanged();
    void speedChanged();
    void scalexChanged();
    void scaleyChanged();
    void sensor1Changed();
    void sensor2Changed();
    void sensor3Changed();
    void sensor4Changed();
    void sensor5Changed();
    void sensor6Changed();
    void sensor7Changed();
    void cutModelChanged();
    void cutMotorStatusChanged();
    void markLightChanged();
    void checkBackgroundLightChanged();
    void checkLightStripChanged();
    void rgbLightStripChanged();
    void pollingChanged();
    void deviceStateChanged();
    void updateFileChanged();
    void indexChanged();
    void progressChanged();
    void feedMotorRunningChanged();
    void filmMotorRunningChanged();
    void collectMotorRunningChanged();
    void taskStatusChanged();

protected:
    void setLinked(bool linked);

private:
    void emitChanged(DeviceField field);
    void joinBackgroundRuns();

    MachineContext m_context;
    std::unique_ptr<DeviceState> m_state;
    std::unique_ptr<MachineLink> m_link;
    std::unique_ptr<CommandChannel> m_channel;
    std::unique_ptr<ReplyEffects> m_effects;
    std::unique_ptr<PlotBuffer> m_plot;
    std::unique_ptr<MachineCommands> m_commands;
    std::unique_ptr<MotorCommands> m_motors;
    std::unique_ptr<LightCommands> m_lights;
    std::unique_ptr<CommandSequences> m_sequences;
    std::unique_ptr<CompositeOps> m_composite;
    std::unique_ptr<FirmwareUpload> m_upload;
    std::unique_ptr<LinkSession> m_session;
    std::unique_ptr<LinkRequests> m_linkRequests;
    std::unique_ptr<JobRunner> m_jobs;
    std::unique_ptr<TaskEntries> m_entries;
    std::unique_ptr<TestCuts> m_testCuts;
};
