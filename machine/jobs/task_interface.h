#pragma once

#include <QList>
#include <QObject>

#include <atomic>
#include <functional>

class TRV610Plus;

// One step of a worker's list. It gets the current step index by reference
// and moves it itself: +1 done, unchanged retry, back to repeat earlier
// steps, 0 start over, INT_MAX end the list.
using TaskStep = std::function<void(int &curStep)>;

// The base of every worker object: a list of steps walked on the worker's
// own thread, one step per pass, until the list ends or the status says stop.
class taskInterface : public QObject
{
    Q_OBJECT

public:
    explicit taskInterface(TRV610Plus *device, QObject *parent = nullptr);
    ~taskInterface() override;

    // Walks the list; true only when it stopped exactly at its end.
    bool doWork(const QList<TaskStep> &steps);

    int taskStatus() const { return m_taskStatus.load(); }
    void setTaskStatus(int status) { m_taskStatus.store(status); }
    TRV610Plus *device() const { return m_device; }
    const QList<TaskStep> &steps() const { return m_steps; }

    int stepInterval() const { return m_stepInterval; }
    void setStepInterval(int ms) { m_stepInterval = ms; }
    int pauseSleep() const { return m_pauseSleep; }
    void setPauseSleep(int ms) { m_pauseSleep = ms; }
    int cycleSleep() const { return m_cycleSleep; }
    void setCycleSleep(int ms) { m_cycleSleep = ms; }

    virtual void sleepCycle(int &curStep);

    // Steps run and whole cycles ended (sleepCycle) so far: how busy the
    // walk is, counted rather than timed.
    quint64 passes() const { return m_passes.load(); }
    quint64 cycles() const { return m_cycles.load(); }
    // Time spent in the walk's fixed waits (sleepMs), ns.
    qint64 sleptNs() const { return m_sleptNs.load(); }
    // Time the walk waited for the machine's replies (its motion and
    // answers), ns; known once the walk has ended.
    qint64 replyWaitNs() const { return m_replyWaitNs.load(); }

public slots:
    void onWork();
    virtual void onTaskChanged();

protected:
    // Runs on the worker's thread once its walk has ended, however it ended.
    virtual void walkEnded() {}
    // Sleeps up to ms, cut short when the status becomes 2 so a stop is
    // seen at once; a pass still lasts its full time while nothing changes.
    void sleepMs(int ms) const;
    // Whether the driver's link is up (false with no driver).
    bool deviceLinked() const;

    TRV610Plus *m_device = nullptr;
    std::atomic<int> m_taskStatus{0};
    int m_stepInterval = 50;
    int m_pauseSleep = 1000;
    int m_cycleSleep = 0;
    QList<TaskStep> m_steps;
    std::atomic<quint64> m_passes{0};
    std::atomic<quint64> m_cycles{0};
    mutable std::atomic<qint64> m_sleptNs{0};
    std::atomic<qint64> m_replyWaitNs{0};
};
