#pragma once

#include <QtGlobal>

#include <functional>

class Config;
class TRV610Plus;

// The roller cycle of the poll worker: reads the dancer and the rollers,
// keeps their condition bits, sets the film and feed motor speeds from them
// and stops what must not go on. One method per step; each advances the
// step index itself.
class RollerPoll
{
public:
    // The settings the condition bits are judged by.
    struct Limits
    {
        double gyroscopeTrigger = 3.0;
        double gyroscopeLimit = 20.0;
        bool printRoller = true; // print-roller checking on
        double printLimit = 60.0;
        double printMax = 100.0;
        double filmLimit = 60.0;
        double filmMax = 100.0;
        double collectLimit = 60.0;
        double collectMax = 100.0;
    };
    struct Readings
    {
        double gyroscope = 0;
        double print = 0;
        double film = 0;
        double collect = 0;
    };

    // The bits this cycle owns: 0x1 to 0x40.
    static qulonglong ownBits();
    // The condition bits of these readings (0x2 and 0x4 only with
    // print-roller checking on).
    static qulonglong conditionBits(const Readings &r, const Limits &l);
    // The feed speed for the dancer at g: 0 up to the trigger, 10 just past
    // it, rising to max at the limit and held there beyond.
    static int feedSpeed(double g, double trigger, double limit, int max);
    // The film speed for the film roller at film (base: the film speed
    // setting), before the condition bits are applied.
    static int filmSpeed(double film, double trigger, int base);
    static Limits limitsOf(const Config &config);

    // sleep: waits on the worker's thread, cut short when it stops.
    RollerPoll(TRV610Plus &device, std::function<void(int ms)> sleep);

    // The cycle's end-of-cycle sleep, read from the settings.
    int pollPeriodMs() const;
    void doRollerState(int &step);
    void doFilmSpeed(int &step);
    void doGyroscope(int &step);
    void doSafetyStop(int &step);
    // The print switch changed: with print-roller checking off its bits go.
    void onPrintSwitch();

    int lastFeedSpeed() const { return m_lastFeedSpeed; }
    int lastFilmSpeed() const { return m_lastFilmSpeed; }

private:
    Config *config() const;

    TRV610Plus &m_device;
    std::function<void(int)> m_sleep;
    int m_lastFeedSpeed = 0;
    int m_lastFilmSpeed = 0;
    int m_lastGyroscope = 0;
    qint64 m_lastFilmSendMs = -1; // never sent
};
