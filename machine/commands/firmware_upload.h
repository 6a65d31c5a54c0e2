#pragma once

#include "machine/jobs/background_run.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class CommandChannel;
class DeviceState;

// Firmware upload: the whole file in one frame, sent on a thread of its own
// so the caller returns at once. One upload at a time; the thread is joined
// by the next upload or at shut-down.
class FirmwareUpload
{
public:
    // jobExists: a job is running or paused; the machine must not flash and
    // restart under it, and the upload would hold the link meanwhile.
    FirmwareUpload(CommandChannel &channel, DeviceState &state, std::function<bool()> jobExists);

    // Firmware files are never empty and at most this big.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    // The file's bytes for firmware module upgradeMode.
    void upgrade(int upgradeMode, const QByteArray &file);
    // The file named by the state's updateFile, for module index: checked
    // and read on the upload thread (a FIFO or a device never blocks the
    // caller); only a regular, non-empty file of at most kMaxFileBytes goes.
    void update();
    void sendAsync(const QByteArray &frame);
    // True from an upload request until its last byte left (or failed).
    bool inProgress() const { return m_run.running(); }
    void join() { m_run.join(); }

private:
    // Runs makeFrame on the upload thread and sends what it gives.
    void start(std::function<std::optional<QByteArray>()> makeFrame);
    void refuse(const QString &path, const char *why);
    // True, with the operator's message, while a job exists.
    bool refusedForJob(const QString &what);

    CommandChannel &m_channel;
    DeviceState &m_state;
    std::function<bool()> m_jobExists;
    BackgroundRun m_run{"TRV610Plus::sendAsync"};
};
