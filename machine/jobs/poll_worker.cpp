// Thread shells of the two control workers.
#include "machine/jobs/poll_worker.h"

PollWorker::PollWorker(TRV610Plus *device, int pollPeriodMs, QObject *parent)
    : taskInterface(device, parent)
{
    setStepInterval(0);
    setCycleSleep(pollPeriodMs);
    m_taskStatus.store(2);
    m_steps.append([this](int &s) { sleepCycle(s); });
}

void PollWorker::setPolling(bool on)
{
    m_taskStatus.store(on ? 1 : 2);
}

void PollWorker::onTaskChanged()
{
    // The job's pause and stop do not reach the control cycles.
}

pollworkerCollect::pollworkerCollect(TRV610Plus *device, QObject *parent)
    : taskInterface(device, parent)
{
    setStepInterval(0);
    setCycleSleep(500);
    m_taskStatus.store(2);
    m_steps.append([this](int &s) { sleepCycle(s); });
}

void pollworkerCollect::setPolling(bool on)
{
    m_taskStatus.store(on ? 1 : 2);
}

void pollworkerCollect::onTaskChanged()
{
}
