#pragma once

#include <QByteArray>

#include <functional>

class Config;
class DeviceState;

// The camera page's test cuts: a 100 mm square and the pressure pattern,
// each cut once as a plain cut job.
class TestCuts
{
public:
    // Stores the plot data and starts a cut job; true when started.
    using StartCut = std::function<bool(const QByteArray &plot)>;

    TestCuts(DeviceState &state, StartCut startCut);

    bool cut100mmRect();
    // A triangle in a square, moved along the web on each further run so the
    // cuts sit side by side (the state's pressureTestCount).
    bool testPressure(const Config *config);
    static QByteArray pressureTestPattern(int count, const Config *config);

private:
    DeviceState &m_state;
    StartCut m_startCut;
};
