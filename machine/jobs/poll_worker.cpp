// The two control workers: their step lists over the roller and collect
// cycles, and their status rule.
#include "machine/jobs/poll_worker.h"

#include "machine/trv610plus.h"
#include "settings/config.h"

namespace {
constexpr int kCollectCycleMs = 500;
}

PollWorker::PollWorker(TRV610Plus *device, QObject *parent)
    : taskInterface(device, parent)
    , m_rollers(*device, [this](int ms) { sleepMs(ms); })
{
    setStepInterval(0);
    m_taskStatus.store(2);
    if (Config *config = device->context().config()) {
        connect(config, &Config::enablePrintChanged, this, [this] { m_rollers.onPrintSwitch(); },
                Qt::DirectConnection);
    }
    m_steps = {
        [this](int &s) {
            // The period may change while the cycle runs.
            setCycleSleep(m_rollers.pollPeriodMs());
            m_rollers.doRollerState(s);
        },
        [this](int &s) { m_rollers.doFilmSpeed(s); },
        [this](int &s) { m_rollers.doGyroscope(s); },
        [this](int &s) { m_rollers.doSafetyStop(s); },
        [this](int &s) { sleepCycle(s); },
    };
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
    , m_control(*device)
{
    setStepInterval(0);
    setCycleSleep(kCollectCycleMs);
    m_taskStatus.store(2);
    m_steps = {
        [this](int &s) { m_control.doMotorStatus(s); },
        [this](int &s) { m_control.doCapture(s); },
        [this](int &s) { m_control.doTirmY(s); },
        [this](int &s) { m_control.doCollect(s); },
        [this](int &s) { m_control.doRectification(s); },
        [this](int &s) { m_control.doTirmX(s); },
        [this](int &s) { sleepCycle(s); },
    };
}

void pollworkerCollect::setPolling(bool on)
{
    m_taskStatus.store(on ? 1 : 2);
}

void pollworkerCollect::onTaskChanged()
{
}
