#pragma once

#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/test_camera.h"
#include "tools/simulator/web_model.h"

#include <memory>

class SpoolsmithApp;

// What a whole-job test stands on: settings in a temp dir that is also the
// program folder, the simulator with its web model, a registered driver
// linked to it with room on the rollers for a page forward and back, and
// the test camera connected to the application as its QML camera. Needs
// SpoolsmithApp::instance().
struct JobRig
{
    DeviceFixture f;
    std::unique_ptr<WebModel> web;
    std::unique_ptr<TestCamera> camera;

    // controlCycles runs the poll and collect cycles beside the job. The
    // test camera answers every picture, so its wait is the hang bound: a
    // loaded machine's slow picture is late, not missing.
    bool setUp(bool controlCycles = false);
    // Stops a job still running, then undoes setUp.
    void tearDown();

    static SpoolsmithApp *app();
    // Waits for the job thread to be handled; false instead of hanging.
    bool waitIdle(qint64 ms = kHangMs);
    // Plots the machine got (cutsOnly: without positioning frames).
    int plotCount(bool cutsOnly) const;
    // Every point of a plot's strokes, x and y in turn.
    static QList<double> plotNumbers(const QByteArray &hpgl);
};
