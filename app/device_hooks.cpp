// What the machine driver may ask of the application.
#include "spoolsmith_app.h"
#include "trv610plus.h"

void SpoolsmithApp::connectDevice(TRV610Plus *device)
{
    DeviceAppHooks hooks;
    hooks.taskStatus = [this] { return taskStatus(); };
    hooks.setTaskStatus = [this](int status) { setTaskStatus(status); };
    hooks.clearFilm = [this](int index) { clearFilm(index); };
    hooks.setMarkIndex = [this](int index) { setMarkIndex(index); };
    hooks.resetPaperCenter = [this] { resetPaperCenter(); };
    device->setAppHooks(hooks);
}

void SpoolsmithApp::resetPaperCenter()
{
    m_prePaperCenter.store(0.0);
}

double SpoolsmithApp::prePaperCenter() const
{
    return m_prePaperCenter.load();
}
