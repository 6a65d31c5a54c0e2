#include "machine/commands/firmware_upload.h"

#include "machine/protocol/command_channel.h"
#include "machine/state/device_state.h"

#include <QDebug>
#include <QFile>

namespace {
QByteArray uploadFrame(int module, const QByteArray &file)
{
    QByteArray payload = QStringLiteral("UPG;%1;").arg(module).toLocal8Bit();
    payload.append(file);
    return MachineFrame::wrap(payload);
}
} // namespace

FirmwareUpload::FirmwareUpload(CommandChannel &channel, DeviceState &state)
    : m_channel(channel)
    , m_state(state)
{
}

void FirmwareUpload::upgrade(int upgradeMode, const QByteArray &file)
{
    m_state.index.set(upgradeMode);
    sendAsync(uploadFrame(upgradeMode, file));
}

void FirmwareUpload::update()
{
    const QString path = m_state.updateFile.get();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "TRV610Plus::update" << "cannot open" << path << file.errorString();
        return;
    }
    sendAsync(uploadFrame(m_state.index.get(), file.readAll()));
}

void FirmwareUpload::sendAsync(const QByteArray &frame)
{
    // A second upload is refused like any send meeting a large frame on its way.
    const bool started = m_run.start([this, frame] {
        if (!m_channel.sendMsg(frame)) {
            qCritical() << "TRV610Plus::sendAsync" << "upload failed," << frame.size() << "bytes";
            m_state.updateProgress.set(0.0f);
        }
    });
    if (!started && m_run.running())
        qWarning() << "TRV610Plus::sendAsync" << "an upload is already on its way";
}
