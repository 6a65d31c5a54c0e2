#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QQmlEngine;
struct DeviceFixture;

// What a page test may do to the machine behind `device`: read what was sent,
// script what the machine reports, make it refuse or drop. Also gathers the
// QML warnings of the engine, so each case can fail on them.
class PageTestSim : public QObject
{
    Q_OBJECT
public:
    explicit PageTestSim(DeviceFixture *fixture, QObject *parent = nullptr);
    ~PageTestSim() override;

    // Payloads received since the last clear(), optionally only those that
    // begin with prefix (e.g. "CCMD;20,1,3,").
    Q_INVOKABLE QStringList payloads(const QString &prefix = QString()) const;
    Q_INVOKABLE QString lastPayload() const;
    Q_INVOKABLE int count(int command) const;
    Q_INVOKABLE void clear();

    // Sensors 1 to 7 as the machine reports them.
    Q_INVOKABLE void setSensor(int number, bool on);
    // The next roller reads report these values.
    Q_INVOKABLE void setRollers(double gyroscope, double print, double film, double collect);
    // An unsolicited task status report ("CMD;12,0,s;").
    Q_INVOKABLE void reportTaskStatus(int status);
    // The machine answers command with a failure status (or again normally).
    Q_INVOKABLE void refuse(int command, bool on = true);
    // "none", "noReply", "lateReply", "garbage", "splitBytes", "dropConnection".
    Q_INVOKABLE bool setFault(const QString &name);
    Q_INVOKABLE void dropConnections();
    // Links the driver to the simulator again (after a drop or a new ident).
    Q_INVOKABLE bool relink();
    Q_INVOKABLE bool linked() const;

    // Wires a camera object to the application's capture hand-shake, as the
    // program does with the task tab's camera after loading.
    Q_INVOKABLE bool connectCamera(QObject *camera);

    // The program folder the test runs in (also the current dir).
    Q_INVOKABLE QString programDir() const;

    // Gathers the engine's warnings; called when each test engine is made.
    void watchWarnings(QQmlEngine *engine);
    // Every QML/JS warning since the last call.
    Q_INVOKABLE QStringList takeWarnings();

private:
    DeviceFixture *m_fixture;
    QStringList m_warnings;
};
