#pragma once

#include "tools/simulator/machine_simulator.h"

#include <QList>
#include <functional>
#include <mutex>
#include <QPointF>
#include <QPolygonF>
#include <QSize>

// The web under the machine: how far it was fed, where the head (with the
// mark camera) stands across it, where the printed marks are, and what the
// knife cut. All in plotter units (40 per mm): x along the feed, y across.
// The mark camera sees 40 pixels per mm, so one full-resolution pixel is one
// plotter unit; a mark ahead of the camera (larger x) shows above the
// centre, one to the left (larger y) left of it.
class WebModel
{
public:
    struct Plot
    {
        QPointF start;      // camera position on the web when it began
        QByteArray data;    // the plot frame as sent
        bool move = false;  // a positioning frame without pen-down strokes
    };

    // Installs itself into the simulator: position reads and moves, and the
    // plot frames the machine accepted.
    explicit WebModel(MachineSimulator &sim);

    void setMarks(const QList<QPointF> &webMarks);
    QList<QPointF> marks() const;
    // Where the knife stands relative to the camera centre.
    void setKnifeOffset(const QPointF &offset);

    // The fed web piles up before the collect roller: each plotter unit fed
    // forward raises its reading by perUnit (0: the reading stays).
    void setCollectRise(double perUnit);

    QPointF cameraPosition() const;
    // Centres of the marks inside a picture of that size, full-resolution
    // pixels, as the mark camera at its current position sees them.
    QList<QPointF> marksInView(const QSize &picture, double margin = 60.0) const;

    QList<Plot> plots() const;
    // Called with each plot taken, on the simulator's thread under its lock:
    // only for what may run there (setting a fault, counting).
    void setPlotTaken(std::function<void(const Plot &)> hook);
    // Pen-down strokes of every cut so far, on the web.
    QList<QPolygonF> cuts() const;
    double fed() const;
    void clear();

    // Parses an HPGL plot: pen-down polylines and where the pen ends, both
    // relative to where the plot began.
    static void parsePlot(const QByteArray &plot, QList<QPolygonF> &strokes, QPointF &end);

private:
    void onPlot(const QByteArray &plot, SimMachineState &state);
    // Under m_lock: the web moved by along plotter units.
    void fedBy(double along, SimMachineState &state);

    mutable std::mutex m_lock;
    QPointF m_camera;
    QPointF m_knifeOffset;
    double m_collectPerUnit = 0.0;
    QList<QPointF> m_marks;
    QList<Plot> m_plots;
    QList<QPolygonF> m_cuts;
    std::function<void(const Plot &)> m_plotTaken;
};
