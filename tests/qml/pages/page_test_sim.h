#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

class QQmlEngine;
class RecordingPrompt;
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
    // An unsolicited limit switch report ("CMD;23,axis,position;").
    Q_INVOKABLE void reportAxisLimit(int axis, int position);
    // The machine answers command with a failure status (or again normally).
    Q_INVOKABLE void refuse(int command, bool on = true);
    // "none", "noReply", "lateReply", "garbage", "splitBytes", "dropConnection".
    Q_INVOKABLE bool setFault(const QString &name);
    Q_INVOKABLE void dropConnections();
    // Links the driver to the simulator again (after a drop or a new ident).
    Q_INVOKABLE bool relink();
    Q_INVOKABLE bool linked() const;
    // No job thread of the driver is running.
    Q_INVOKABLE bool jobIdle() const;

    // Wires a camera object to the application's capture hand-shake, as the
    // program does with the task tab's camera after loading.
    Q_INVOKABLE bool connectCamera(QObject *camera);

    // The program folder the test runs in (also the current dir).
    Q_INVOKABLE QString programDir() const;

    // Message boxes and file dialogs of the application are recorded, never
    // shown: the texts shown since the last call, the captions of the file
    // dialogs asked, and the answers the next file dialogs give.
    Q_INVOKABLE QStringList takePrompts();
    Q_INVOKABLE QStringList takeFileDialogs();
    Q_INVOKABLE void answerFileDialogs(const QStringList &paths);

    // Files and pictures for the file pages: a one-page PDF of the given size
    // in mm, a cut file of at least the given size in bytes (a large one
    // opens on a worker thread), and a frame of the given size shown in a
    // VideoOutput as a camera would.
    Q_INVOKABLE bool writePdf(const QString &path, double widthMm, double heightMm);
    Q_INVOKABLE bool writeCutFile(const QString &path, int bytes);
    // Any text file (a .tva template), and a one-sheet .xlsx of rows of cells.
    Q_INVOKABLE bool writeTextFile(const QString &path, const QString &text);
    Q_INVOKABLE bool writeXlsx(const QString &path, const QVariantList &rows);
    Q_INVOKABLE bool showVideoFrame(QObject *videoOutput, int width, int height);
    // The names in dir that match nameFilter (e.g. "*.jpg").
    Q_INVOKABLE QStringList files(const QString &dir, const QString &nameFilter) const;

    // The check camera as an industrial camera (Aravis's fake one, with
    // SPOOLSMITH_FAKE_CAMERA=1): chosen as the program chooses it, its frame
    // loop started; and stopped again.
    Q_INVOKABLE bool startIndustrialCheckCamera();
    Q_INVOKABLE void stopIndustrialCheckCamera();

    // Gathers the engine's warnings; called when each test engine is made.
    void watchWarnings(QQmlEngine *engine);
    // Every QML/JS warning since the last call.
    Q_INVOKABLE QStringList takeWarnings();

private:
    DeviceFixture *m_fixture;
    QStringList m_warnings;
    std::unique_ptr<RecordingPrompt> m_prompt;
};
