// Firmware upload: the whole file in one frame, sent on a thread of its own
// so the caller returns at once. The thread is kept and joined (by the next
// upload or at shut-down), never left running past the driver.
#include "machine/trv610plus.h"

#include <QDebug>
#include <QFile>

#include <system_error>

void TRV610Plus::slotUpgrade(int upgradeMode, const QByteArray &upgradeFile, const QVariantMap &paramList)
{
    Q_UNUSED(paramList);
    setIndex(upgradeMode);
    QByteArray payload = QStringLiteral("UPG;%1;").arg(upgradeMode).toLocal8Bit();
    payload.append(upgradeFile);
    sendAsync(packRawFrame(payload));
}

void TRV610Plus::update()
{
    const QString path = updateFile();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "TRV610Plus::update" << "cannot open" << path << file.errorString();
        return;
    }
    QByteArray payload = QStringLiteral("UPG;%1;").arg(index()).toLocal8Bit();
    payload.append(file.readAll());
    sendAsync(packRawFrame(payload));
}

void TRV610Plus::sendAsync(const QByteArray &frame)
{
    QMutexLocker lock(&m_uploadLock);
    // One upload at a time; a second one is refused like any send meeting a
    // large frame on its way.
    if (m_uploadSending.load()) {
        qWarning() << "TRV610Plus::sendAsync" << "an upload is already on its way";
        return;
    }
    if (m_uploadThread.joinable())
        m_uploadThread.join();
    m_uploadSending.store(true);
    try {
        m_uploadThread = std::thread([this, frame] {
            if (!sendMsg(frame)) {
                qCritical() << "TRV610Plus::sendAsync" << "upload failed," << frame.size() << "bytes";
                setUpdateProgress(0.0f);
            }
            m_uploadSending.store(false);
        });
    } catch (const std::system_error &e) {
        m_uploadSending.store(false);
        qCritical() << "TRV610Plus::sendAsync" << "thread failed:" << e.what();
    }
}

void TRV610Plus::joinUploadThread()
{
    QMutexLocker lock(&m_uploadLock);
    if (m_uploadThread.joinable())
        m_uploadThread.join();
}
