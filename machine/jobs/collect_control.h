#pragma once

#include <QtGlobal>

class Config;
class TRV610Plus;
class TaskApp;

// The output end of the machine, one cycle at a time on the collect thread:
// the collect, trim and web-guide motors, and the check picture taken after
// each collected length in scan-and-trim mode. One method per step; every
// step advances, so a step that could not act tries again next cycle, after
// the motor states were read again and the cycle slept.
class CollectControl
{
public:
    // Inspected lengths below this ask for a trim Y cut and collect 50.0.
    static constexpr double kShortLength = 2.0;
    static constexpr double kDefaultLength = 50.0;
    static constexpr int kTrimYSpeed = 300;

    explicit CollectControl(TRV610Plus &device);

    // 0 (never run) and 3 (done) are idle.
    static bool idleState(int state) { return state == 0 || state == 3; }
    // The collect length: the inspected one only in scan-and-trim trim mode.
    static double collectLength(double excess, double inspected, bool scanAndTrim, bool trim);

    void doMotorStatus(int &step);
    void doCapture(int &step);
    void doTirmY(int &step);
    void doCollect(int &step);
    void doRectification(int &step);
    void doTirmX(int &step);

    bool captureArmed() const { return m_captureArmed; }
    bool trimYDue() const { return m_trimYDue; }
    double pendingTrimLength() const { return m_pendingTrim; }
    bool collectRunning() const { return m_collectRunning; }

private:
    Config *config() const;
    TaskApp *app() const;
    void startCollect(const Config &c, double length);
    void stopCollect();
    void rectifyFromCamera(const Config &c);
    void rectifyFromSensors(const Config &c);

    TRV610Plus &m_device;
    qint64 m_lastMotorPollMs = 0; // 0 forces a read
    qint64 m_rectifyChangeMs = 0; // 0: none
    float m_rectifyTarget = 0;
    bool m_captureArmed = true;
    bool m_trimYDue = false;
    int m_collectSpeed = 0;
    double m_pendingTrim = 0;
    qint64 m_lastCollectCommandMs = 0;
    bool m_collectRunning = false;
    bool m_trimXIdle = false;
    bool m_trimYIdle = false;
    bool m_collectIdle = false;
    bool m_rectifyIdle = false;
};
