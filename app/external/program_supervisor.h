#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// Keeps one external program of machine version 2 running and its window
// minimised. Everything runs on the GUI thread and nothing in it waits for
// the program: starts and ends are reported by the process's signals.
class ProgramSupervisor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartUpPeriodMs = 1000;
    static constexpr int kPathChangePeriodMs = 100;
    // A program that ends at once is not started again sooner than this.
    static constexpr int kMinRestartMs = 1000;
    // How long a killed program may take to end: a replaced one before
    // that is logged, one at shut-down before it is left.
    static constexpr int kEndWaitMs = 5000;
    // The raster image processor's window must stay minimised this long.
    static constexpr int kMinimisedHoldSecs = 5;

    // label names the program in log lines ("RIIN", "PrinterSoft");
    // lastMinimise is shared by the programs; holdMinimised: the supervision
    // ends only once the last minimise is kMinimisedHoldSecs old.
    ProgramSupervisor(QString label, QDateTime &lastMinimise, bool holdMinimised, QObject *parent = nullptr);
    ~ProgramSupervisor() override;

    QProcess *process() { return &m_process; }
    QString program() const { return m_program; }
    int timerId() const { return m_timerId; }
    // An ended program waits for its restart (kMinRestartMs after its start).
    bool restartPending() const { return m_restartDelay.isActive(); }

    // Before anything ran: the program the supervision starts.
    void setProgram(const QString &path);
    // A new path from the settings: the running program is killed and the
    // new one takes its place once the old one has ended; the supervision
    // timer starts at kPathChangePeriodMs unless it runs. False: unchanged.
    bool changeProgram(const QString &path);
    // Starts the supervision timer unless it runs.
    bool startSupervision(int periodMs);
    // An ended program is started again (at most once per kMinRestartMs).
    void setRestartOnFinish(bool on);
    // Shut-down begins: neither an end nor the timer starts it again.
    void stopRestarts();
    // Off where nothing can minimise windows: the supervision then ends
    // once the program runs.
    void setMinimising(bool on) { m_minimising = on; }
    // kEndWaitMs unless set (tests stretch it, so a wait for an end shows).
    void setEndWaitMs(int ms) { m_endWaitMs = ms; }

    // True when the program runs or is starting; false when it could not be
    // started (no file, one of the same name runs, a replaced program still
    // ending, a restart too soon).
    bool openProcess();
    // True when the program's window is minimised already; minimises a
    // visible one (then false).
    bool closeWndByPid();
    // At shut-down: no restart, the program killed and awaited (bounded).
    bool closeProcess();

    // The process's end, also when the face's slot is reached first.
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void processError(QProcess::ProcessError error);
    void applyPendingProgram();
    void restartAfterFinish();
    qint64 restartWaitMs() const;
    void stopSupervision();

    QString m_label;
    QDateTime &m_lastMinimise;
    bool m_holdMinimised = false;
    QProcess m_process;
    QString m_program;
    bool m_programPending = false; // m_program waits for the old process to end
    bool m_restartOnFinish = false;
    bool m_minimising = true;
    int m_endWaitMs = kEndWaitMs;
    int m_timerId = 0;
    QElapsedTimer m_lastStart;
    QTimer m_restartDelay;
    QTimer m_endWatch;
};
