#include "app/external/program_supervisor.h"

#include "platform/processes/process_list.h"
#include "platform/window_control/window_control.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaEnum>
#include <QTimerEvent>

namespace {
template <typename E>
const char *enumName(E value)
{
    return QMetaEnum::fromType<E>().valueToKey(value);
}
} // namespace

ProgramSupervisor::ProgramSupervisor(QString label, QDateTime &lastMinimise, bool holdMinimised, QObject *parent)
    : QObject(parent)
    , m_label(std::move(label))
    , m_lastMinimise(lastMinimise)
    , m_holdMinimised(holdMinimised)
{
    // Its output is never read; buffering it would grow for the whole run.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_restartDelay.setSingleShot(true);
    m_endWatch.setSingleShot(true);
    connect(&m_process, &QProcess::started, this, [this] {
        qInfo() << "SpoolsmithApp::openProcess" << "start" << m_process.program() << m_process.processId();
    });
    connect(&m_process, &QProcess::errorOccurred, this, &ProgramSupervisor::processError);
    connect(&m_process, &QProcess::finished, this, &ProgramSupervisor::processFinished);
    // A coarse timer may fire a little early: the wait is checked again.
    connect(&m_restartDelay, &QTimer::timeout, this, [this] {
        if (m_restartOnFinish)
            restartAfterFinish();
    });
    connect(&m_endWatch, &QTimer::timeout, this, [this] {
        if (m_process.state() == QProcess::NotRunning) {
            applyPendingProgram();
            return;
        }
        qCritical() << "SpoolsmithApp::onPropertyChanged" << m_label << "the replaced program has not ended"
                    << m_process.program() << "- killing it again";
        m_process.kill();
        m_endWatch.start(m_endWaitMs);
    });
}

ProgramSupervisor::~ProgramSupervisor()
{
    closeProcess();
    // A program that outlived the bounded wait is awaited again by the
    // process object as it goes; its end must not reach this object then.
    disconnect(&m_process, nullptr, this, nullptr);
}

void ProgramSupervisor::setProgram(const QString &path)
{
    m_program = path;
    m_programPending = m_process.state() != QProcess::NotRunning;
    if (!m_programPending)
        m_process.setProgram(path);
}

bool ProgramSupervisor::changeProgram(const QString &path)
{
    if (path == m_program)
        return false;
    m_program = path;
    if (m_process.state() == QProcess::NotRunning) {
        m_process.setProgram(path);
    } else {
        // The old program must be gone before the new one is set: a restart
        // after its end would otherwise start the old path again.
        m_programPending = true;
        m_process.kill();
        m_endWatch.start(m_endWaitMs);
    }
    if (startSupervision(kPathChangePeriodMs))
        qInfo() << "SpoolsmithApp::onPropertyChanged" << ("startTimer " + m_label);
    return true;
}

bool ProgramSupervisor::startSupervision(int periodMs)
{
    if (m_timerId != 0)
        return false;
    m_timerId = startTimer(periodMs, Qt::CoarseTimer);
    return m_timerId != 0;
}

void ProgramSupervisor::setRestartOnFinish(bool on)
{
    m_restartOnFinish = on;
    if (!on)
        m_restartDelay.stop();
}

void ProgramSupervisor::stopRestarts()
{
    setRestartOnFinish(false);
    stopSupervision();
}

bool ProgramSupervisor::openProcess()
{
    if (m_programPending)
        return false;
    if (m_process.state() != QProcess::NotRunning)
        return true;
    const QString program = m_process.program();
    if (program.isEmpty() || !QFileInfo(program).isFile())
        return false;
    // One of that name that this system did not start is left alone.
    const QString name = program.mid(program.lastIndexOf(QLatin1Char('/')) + 1);
    if (processes::isRunning(name))
        return false;
    if (restartWaitMs() > 0)
        return false;
    m_lastStart.start();
    m_process.start(QIODevice::ReadWrite);
    return m_process.state() != QProcess::NotRunning;
}

bool ProgramSupervisor::closeWndByPid()
{
    const qint64 pid = m_process.processId();
    if (pid <= 0)
        return false;
    windowcontrol::WindowControl &windows = windowcontrol::windowControl();
    const windowcontrol::ProcessWindow window = windows.rootWindowOf(pid);
    if (!window.found || !window.visible)
        return false;
    if (window.minimised)
        return true;
    const bool result = windows.minimise(window.handle);
    qInfo() << "SpoolsmithApp::closeWndByPid" << "SW_SHOWMINIMIZED" << m_process.program() << result;
    m_lastMinimise = QDateTime::currentDateTime();
    return false;
}

bool ProgramSupervisor::closeProcess()
{
    stopRestarts();
    m_endWatch.stop();
    if (m_process.state() == QProcess::NotRunning) {
        applyPendingProgram();
        return true;
    }
    qDebug() << "SpoolsmithApp::closeProcess" << "begin close" << m_process.program();
    m_process.kill();
    // Shut-down only: the event loop has ended, a bounded wait blocks nobody.
    if (!m_process.waitForFinished(m_endWaitMs)) {
        qCritical() << "SpoolsmithApp::closeProcess" << "did not end" << m_process.program();
        return true;
    }
    m_process.close();
    applyPendingProgram();
    qDebug() << "SpoolsmithApp::closeProcess" << "end close" << m_process.program();
    return true;
}

void ProgramSupervisor::processFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (m_process.state() != QProcess::NotRunning)
        return;
    qDebug() << "SpoolsmithApp::slotFinished" << exitCode << enumName(exitStatus) << m_process.program();
    applyPendingProgram();
    if (m_restartOnFinish)
        restartAfterFinish();
}

void ProgramSupervisor::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId || m_timerId == 0) {
        QObject::timerEvent(event);
        return;
    }
    bool done = openProcess() && (!m_minimising || closeWndByPid());
    if (done && m_holdMinimised && m_minimising) {
        // No minimise yet counts as one just now.
        const qint64 secs = m_lastMinimise.isValid() ? m_lastMinimise.secsTo(QDateTime::currentDateTime()) : 0;
        done = secs > kMinimisedHoldSecs;
    }
    if (done)
        stopSupervision();
}

void ProgramSupervisor::processError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return;
    qCritical() << "SpoolsmithApp::openProcess" << "start failed" << m_process.program() << enumName(error);
    // A program killed while still starting ends here, not in finished.
    applyPendingProgram();
}

void ProgramSupervisor::applyPendingProgram()
{
    if (!m_programPending || m_process.state() != QProcess::NotRunning)
        return;
    m_endWatch.stop();
    m_process.setProgram(m_program);
    m_programPending = false;
}

void ProgramSupervisor::restartAfterFinish()
{
    const qint64 wait = restartWaitMs();
    if (wait > 0)
        m_restartDelay.start(int(wait));
    else
        openProcess();
}

qint64 ProgramSupervisor::restartWaitMs() const
{
    if (!m_lastStart.isValid())
        return 0;
    return qMax<qint64>(0, kMinRestartMs - m_lastStart.elapsed());
}

void ProgramSupervisor::stopSupervision()
{
    if (m_timerId == 0)
        return;
    killTimer(m_timerId);
    m_timerId = 0;
}
