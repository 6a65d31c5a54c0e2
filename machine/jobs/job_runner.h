#pragma once

#include <QObject>

#include <atomic>
#include <memory>

class DeviceState;
class MachineContext;
class PollWorker;
class QThread;
class TRV610Plus;
class pollworkerCollect;
class taskInterface;

// Runs the driver's workers on the threads it owns: the task thread (one
// job at a time, each job's worker deleted when its thread finishes), and
// the poll and collect threads, whose control cycles run while polling is
// on. Every thread is stopped and joined, bounded, by stop().
class JobRunner : public QObject
{
    Q_OBJECT

public:
    JobRunner(TRV610Plus &device, DeviceState &state, const MachineContext &context, QObject *parent = nullptr);
    ~JobRunner() override;

    // Starts the worker on the task thread; takes ownership either way.
    bool createWork(taskInterface *worker);
    bool idle() const { return m_idle.load(); }
    // Waits for a running job thread to end (shut-down, tests).
    bool waitTaskThread(int timeoutMs);
    // Follows the polling switch (any thread): cycles start or end.
    void setPolling(bool on);
    // Ends the control cycles and joins their threads; the job thread is
    // waited for by waitTaskThread.
    void stopControlCycles();

private:
    void onTaskThreadFinished();
    void startControlThreads();
    QThread *taskThread();

    TRV610Plus &m_device;
    DeviceState &m_state;
    const MachineContext &m_context;
    QThread *m_taskThread = nullptr;
    std::atomic<bool> m_idle{true};
    // The control cycles were ended for good (shut-down).
    std::atomic<bool> m_stopped{false};
    std::unique_ptr<QThread> m_pollThread;
    std::unique_ptr<QThread> m_collectThread;
    std::unique_ptr<PollWorker> m_pollWorker;
    std::unique_ptr<pollworkerCollect> m_collectWorker;
};
