#pragma once

#include "machine/jobs/collect_control.h"
#include "machine/jobs/roller_poll.h"
#include "machine/jobs/task_interface.h"

// The roller polling worker: roller read, film speed, feed speed, safety
// stop, then the poll period (read from the settings every cycle). Its
// status follows the polling switch, not the job's task status.
class PollWorker : public taskInterface
{
    Q_OBJECT

public:
    explicit PollWorker(TRV610Plus *device, QObject *parent = nullptr);
    // true: running (1), false: stopped (2).
    void setPolling(bool on);
    const RollerPoll &rollers() const { return m_rollers; }

public slots:
    void onTaskChanged() override;

private:
    RollerPoll m_rollers;
};

// The collect, trim and web-guide worker: motor states, check picture, trim
// Y, collect, web guide, trim X, then 500 ms. Its status follows the
// polling switch as the poll worker's does.
class pollworkerCollect : public taskInterface
{
    Q_OBJECT

public:
    explicit pollworkerCollect(TRV610Plus *device, QObject *parent = nullptr);
    void setPolling(bool on);
    const CollectControl &control() const { return m_control; }

public slots:
    void onTaskChanged() override;

private:
    CollectControl m_control;
};
