#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>

class DeviceState;
class JobRunner;
class MachineContext;
class PlotBuffer;
class TRV610Plus;

// The task entry points: each builds a job worker of one kind and hands it
// to the job runner; one job at a time.
class TaskEntries
{
public:
    TaskEntries(TRV610Plus &device, JobRunner &jobs, DeviceState &state, PlotBuffer &plot,
                const MachineContext &context);

    void wStart();
    void cut();
    void autoFindPoint();
    void autoCheckPoint();
    void cutRepeat();
    void checkCameraOffset();
    // Stores the plot data and starts a job of that kind; a refused start
    // leaves the running job's plot data alone.
    bool startPlotJob(const QByteArray &plot, int kind, const QList<QPointF> &marks = {});

private:
    // Jobs that visit the cut page's marks from the first one.
    void startMarkWalk(int kind);

    TRV610Plus &m_device;
    JobRunner &m_jobs;
    DeviceState &m_state;
    PlotBuffer &m_plot;
    const MachineContext &m_context;
};
