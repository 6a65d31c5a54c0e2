#pragma once

// Which Aravis interfaces take part in device enumeration. GigE discovery
// broadcasts on every network interface, so it is never on unless asked for:
//   SPOOLSMITH_FAKE_CAMERA=1   only the in-process fake camera (tests)
//   SPOOLSMITH_GIGE_CAMERA=1   GigE Vision besides USB3 Vision
// By default only USB3 Vision is enumerated.
struct CameraInterfaces
{
    bool fake = false;
    bool usb3 = true;
    bool gige = false;

    static CameraInterfaces fromEnvironment();
};

// Switches the Aravis interfaces to exactly the given set. Must run before
// every device-list update: Aravis enables GigE by default.
void applyCameraInterfaces(const CameraInterfaces &interfaces);
