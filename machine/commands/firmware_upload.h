#pragma once

#include "machine/jobs/background_run.h"

#include <QByteArray>

class CommandChannel;
class DeviceState;

// Firmware upload: the whole file in one frame, sent on a thread of its own
// so the caller returns at once. One upload at a time; the thread is joined
// by the next upload or at shut-down.
class FirmwareUpload
{
public:
    FirmwareUpload(CommandChannel &channel, DeviceState &state);

    // The file's bytes for firmware module upgradeMode.
    void upgrade(int upgradeMode, const QByteArray &file);
    // The file named by the state's updateFile, for module index.
    void update();
    void sendAsync(const QByteArray &frame);
    // True from an upload request until its last byte left (or failed).
    bool inProgress() const { return m_run.running(); }
    void join() { m_run.join(); }

private:
    CommandChannel &m_channel;
    DeviceState &m_state;
    BackgroundRun m_run{"TRV610Plus::sendAsync"};
};
