#include <arv.h>

#include "platform/camera/camera_interfaces.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

CameraInterfaces CameraInterfaces::fromEnvironment()
{
    CameraInterfaces result;
    if (qEnvironmentVariableIntValue("SPOOLSMITH_FAKE_CAMERA") == 1) {
        result.fake = true;
        result.usb3 = false;
        return result;
    }
    result.gige = qEnvironmentVariableIntValue("SPOOLSMITH_GIGE_CAMERA") == 1;
    return result;
}

void applyCameraInterfaces(const CameraInterfaces &interfaces)
{
    // Off first, whatever this Aravis knows (newer ones add interfaces), then
    // on only what is wanted.
    const unsigned count = arv_get_n_interfaces();
    for (unsigned i = 0; i < count; ++i) {
        if (const char *id = arv_get_interface_id(i))
            arv_disable_interface(id);
    }
    if (interfaces.fake)
        arv_enable_interface("Fake");
    if (interfaces.usb3)
        arv_enable_interface("USB3Vision");
    if (interfaces.gige)
        arv_enable_interface("GigEVision");
}
