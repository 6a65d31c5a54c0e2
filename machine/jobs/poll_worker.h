#pragma once

#include "machine/jobs/task_interface.h"

// The roller polling worker. Its control cycle joins later; for now its list
// is the end-of-cycle sleep alone, and its status follows the polling switch
// given to it rather than the job's task status.
class PollWorker : public taskInterface
{
    Q_OBJECT

public:
    explicit PollWorker(TRV610Plus *device, int pollPeriodMs = 200, QObject *parent = nullptr);
    // true: running (1), false: stopped (2).
    void setPolling(bool on);

public slots:
    void onTaskChanged() override;
};

// The collect, trim and rectify control worker; the same kind of shell with
// an end-of-cycle sleep of 500 ms.
class pollworkerCollect : public taskInterface
{
    Q_OBJECT

public:
    explicit pollworkerCollect(TRV610Plus *device, QObject *parent = nullptr);
    void setPolling(bool on);

public slots:
    void onTaskChanged() override;
};
