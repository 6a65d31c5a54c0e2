#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>

// The units of a plot: user units (SC) scaled onto the scaling points P1
// and P2 (IP, IR), the coordinate system turned by RO, and the soft-clip
// window (IW), as HP-GL/2 defines them. Points come out in plotter units
// (40 per mm) of the unturned page, X along the web.
//
// The page frame (the plotter's hard-clip limits) is the file's PS,
// else an A4 page, 297 mm along the web by 210 mm across: a roll-fed
// cutter has no sheet of its own, and A4 is the page the station shows for
// a file that names none. P1 and P2 default to the frame's corners, as on
// an HP-GL/2 plotter. The window is unlimited until IW sets one: the web
// has no edge along its length for the cutter to clip at.
class HpglUnits
{
public:
    static constexpr double kA4Length = 11880.0; // along the web
    static constexpr double kA4Width = 8400.0;   // across

    // IN: P1 and P2 at the frame's corners, no scaling, no turn, no window.
    void reset();
    // PS length[,width]: the frame; P1, P2 and the window as after IN.
    void setFrame(const QList<double> &params);
    // IP / IR (percentages of the frame); no parameters: the frame's corners.
    void setInputPoints(const QList<double> &params, bool relative);
    // SC; false for a scale that maps nothing (a zero range or factor).
    bool setScale(const QList<double> &params);
    void scaleOff();
    // RO: 0, 90, 180 or 270 degrees; P1, P2 and the window keep their values.
    void setRotation(double degrees);
    // IW in current units; no parameters: no window.
    void setWindow(const QList<double> &params);

    // Neither scaled nor turned: points pass unchanged.
    bool identity() const { return m_identity; }
    bool scaled() const { return m_scaled; }
    QPointF toPlotter(const QPointF &user) const
    {
        return {m_a * user.x() + m_b * user.y() + m_c, m_d * user.x() + m_e * user.y() + m_f};
    }
    QPointF deltaToPlotter(const QPointF &d) const { return {m_a * d.x() + m_b * d.y(), m_d * d.x() + m_e * d.y()}; }
    QPointF toUser(const QPointF &plotter) const;
    // The soft-clip window in plotter units of the page, when one is set.
    const std::optional<QRectF> &window() const { return m_window; }
    // P2 - P1 in the turned system (tick lengths are a share of it).
    QPointF span() const { return m_p2 - m_p1; }
    // The turned system's Y axis (or X axis) as a unit step on the page.
    QPointF axis(bool y) const { return frameToPlotter(y ? QPointF(0, 1) : QPointF(1, 0)) - frameToPlotter(QPointF()); }

private:
    QPointF frameSize() const; // in the turned system
    QPointF frameToPlotter(const QPointF &f) const;
    void update();

    double m_length = kA4Length, m_width = kA4Width;
    QPointF m_p1, m_p2{kA4Length, kA4Width};
    int m_rotation = 0;
    QList<double> m_scale; // the SC in force, applied again when P1 or P2 move
    bool m_scaled = false;
    std::optional<QRectF> m_windowFrame; // in the turned system, plotter units
    std::optional<QRectF> m_window;
    bool m_identity = true;
    // plotter = (a b c; d e f) * user
    double m_a = 1, m_b = 0, m_c = 0, m_d = 0, m_e = 1, m_f = 0;
};
