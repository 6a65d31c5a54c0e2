// The walk of a worker's step list on its own thread.
#include "machine/jobs/task_interface.h"

#include "machine/protocol/command_channel.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <climits>
#include <QThread>

taskInterface::taskInterface(TRV610Plus *device, QObject *parent)
    : QObject(parent)
    , m_device(device)
{
    if (m_device) {
        m_taskStatus.store(m_device->taskStatus());
        connect(m_device, &TRV610Plus::taskStatusChanged, this, &taskInterface::onTaskChanged,
                Qt::DirectConnection);
    }
}

taskInterface::~taskInterface() = default;

void taskInterface::onTaskChanged()
{
    if (m_device)
        m_taskStatus.store(m_device->taskStatus());
}

void taskInterface::sleepMs(int ms) const
{
    if (ms <= 0)
        return;
    // Slices short enough that a stop ends the sleep within a few ms.
    QElapsedTimer slept;
    slept.start();
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && m_taskStatus.load() != 2)
        QThread::msleep(qMin<qint64>(5, qMax<qint64>(1, deadline.remainingTime())));
    m_sleptNs += slept.nsecsElapsed();
}

bool taskInterface::deviceLinked() const
{
    return m_device && m_device->linked();
}

void taskInterface::sleepCycle(int &curStep)
{
    sleepMs(m_cycleSleep);
    ++m_cycles;
    curStep = 0;
}

bool taskInterface::doWork(const QList<TaskStep> &steps)
{
    const int length = int(steps.size());
    int curStep = 0;
    if (m_taskStatus.load() == 2) {
        qInfo() << "taskInterface::doWork" << "exit thread";
        return curStep == length;
    }
    for (;;) {
        const int status = m_taskStatus.load();
        if (status == 0) {
            sleepMs(m_pauseSleep);
            sleepMs(m_stepInterval);
        } else if (status == 1 && deviceLinked()) {
            if (curStep >= 0 && curStep < length) {
                ++m_passes;
                steps.at(curStep)(curStep);
            }
            if (curStep >= length || curStep < 0)
                break;
            sleepMs(m_stepInterval);
        } else if (status == 1) {
            // The link is down: the walk holds at its step until it is back
            // (or a stop ends it), so a step that was under way when the link
            // went runs again from its start.
            sleepMs(500);
        } else if (status != 2) {
            qCritical() << "taskInterface::doWork" << "unidentifiable taskStatus: " << status;
            sleepMs(m_stepInterval);
        }
        if (m_taskStatus.load() == 2) {
            qInfo() << "taskInterface::doWork" << "exit thread";
            return curStep == length;
        }
    }
    qDebug() << "taskInterface::doWork" << "curStep >= steps" << curStep << length;
    return curStep == length;
}

void taskInterface::onWork()
{
    const qint64 replyWaitBefore = CommandChannel::threadReplyWaitNs();
    doWork(m_steps);
    walkEnded();
    m_replyWaitNs += CommandChannel::threadReplyWaitNs() - replyWaitBefore;
    if (QThread *thread = QThread::currentThread())
        thread->exit(0);
}
