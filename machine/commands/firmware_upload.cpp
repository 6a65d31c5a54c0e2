#include "machine/commands/firmware_upload.h"

#include "machine/protocol/command_channel.h"
#include "machine/state/device_state.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

#include <filesystem>
#include <system_error>

namespace {
QByteArray uploadFrame(int module, const QByteArray &file)
{
    QByteArray payload = QStringLiteral("UPG;%1;").arg(module).toLocal8Bit();
    payload.append(file);
    return MachineFrame::wrap(payload);
}
} // namespace

FirmwareUpload::FirmwareUpload(CommandChannel &channel, DeviceState &state, std::function<bool()> jobExists)
    : m_channel(channel)
    , m_state(state)
    , m_jobExists(std::move(jobExists))
{
}

bool FirmwareUpload::refusedForJob(const QString &what)
{
    if (!m_jobExists || !m_jobExists())
        return false;
    qWarning() << "TRV610Plus::update" << what << "refused: a job is running";
    m_state.errorMessage.set(QCoreApplication::translate("TRV610Plus", "任务运行中，请先停止任务"));
    return true;
}

void FirmwareUpload::upgrade(int upgradeMode, const QByteArray &file)
{
    if (refusedForJob(QStringLiteral("module %1").arg(upgradeMode)))
        return;
    m_state.index.set(upgradeMode);
    if (file.isEmpty() || file.size() > kMaxFileBytes) {
        refuse(QStringLiteral("(%1 bytes received)").arg(file.size()), file.isEmpty() ? "empty" : "over 64 MiB");
        return;
    }
    sendAsync(uploadFrame(upgradeMode, file));
}

void FirmwareUpload::refuse(const QString &path, const char *why)
{
    qWarning() << "TRV610Plus::update" << "firmware file refused:" << why << path;
    m_state.errorMessage.set(QCoreApplication::translate("TRV610Plus", "固件文件无效") + QStringLiteral(" \n"));
}

void FirmwareUpload::update()
{
    const QString path = m_state.updateFile.get();
    if (path.isEmpty() || refusedForJob(path))
        return;
    const int module = m_state.index.get();
    start([this, path, module]() -> std::optional<QByteArray> {
        // Looked at before it is opened: opening a FIFO waits for a writer,
        // and a device such as /dev/zero never ends.
        std::error_code error;
        const std::filesystem::path file(path.toStdString());
        const std::filesystem::file_status status = std::filesystem::status(file, error);
        if (error || status.type() == std::filesystem::file_type::not_found) {
            qWarning() << "TRV610Plus::update" << "cannot open" << path << QString::fromStdString(error.message());
            return std::nullopt;
        }
        if (status.type() != std::filesystem::file_type::regular) {
            refuse(path, "not a regular file");
            return std::nullopt;
        }
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (error || size == 0) {
            refuse(path, "empty");
            return std::nullopt;
        }
        if (size > std::uintmax_t(kMaxFileBytes)) {
            refuse(path, "over 64 MiB");
            return std::nullopt;
        }
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            qWarning() << "TRV610Plus::update" << "cannot open" << path << in.errorString();
            return std::nullopt;
        }
        // One byte more than allowed tells a file that grew meanwhile.
        const QByteArray bytes = in.read(kMaxFileBytes + 1);
        if (bytes.isEmpty() || bytes.size() > kMaxFileBytes) {
            refuse(path, bytes.isEmpty() ? "empty" : "over 64 MiB");
            return std::nullopt;
        }
        return uploadFrame(module, bytes);
    });
}

void FirmwareUpload::sendAsync(const QByteArray &frame)
{
    start([frame]() -> std::optional<QByteArray> { return frame; });
}

void FirmwareUpload::start(std::function<std::optional<QByteArray>()> makeFrame)
{
    // A second upload is refused like any send meeting a large frame on its way.
    const bool started = m_run.start([this, makeFrame = std::move(makeFrame)] {
        const std::optional<QByteArray> frame = makeFrame();
        if (!frame)
            return;
        if (!m_channel.sendMsg(*frame)) {
            qCritical() << "TRV610Plus::sendAsync" << "upload failed," << frame->size() << "bytes";
            m_state.updateProgress.set(0.0f);
        }
    });
    if (!started && m_run.running())
        qWarning() << "TRV610Plus::sendAsync" << "an upload is already on its way";
}
