#pragma once

#include "machine/jobs/task_interface.h"
#include "tests/support/hang_bound.h"

#include <QThread>
#include <QTest>

#include <memory>

// A control worker on a thread the test owns, as the driver's job runner
// runs it, so its counters can be read while it walks.
template <typename Worker>
class WorkerThread
{
public:
    explicit WorkerThread(TRV610Plus *device)
        : m_worker(std::make_unique<Worker>(device))
    {
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::started, m_worker.get(), &taskInterface::onWork);
    }
    ~WorkerThread() { stop(); }

    void start()
    {
        m_worker->setPolling(true);
        m_thread.start();
    }
    // Polling off: the walk ends within its current pass.
    bool stop()
    {
        m_worker->setPolling(false);
        return m_thread.wait(kHangMs);
    }
    bool running() const { return m_thread.isRunning(); }
    // Waits (bounded) until n more cycles have ended.
    bool waitCycles(quint64 n)
    {
        const quint64 target = m_worker->cycles() + n;
        return QTest::qWaitFor([&] { return m_worker->cycles() >= target; }, kHangMs);
    }
    Worker &worker() { return *m_worker; }

private:
    QThread m_thread;
    std::unique_ptr<Worker> m_worker;
};
