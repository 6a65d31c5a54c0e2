#include "settings/settings_save_watch.h"

#include <QDir>
#include <QThread>

SettingsSaveWatch::SettingsSaveWatch(Saved saved, const QString &path, QObject *parent)
    : QObject(parent)
    , m_saved(saved)
    , m_path(path)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kAnswerMs);
    connect(&m_timer, &QTimer::timeout, this, &SettingsSaveWatch::noAnswer);
}

void SettingsSaveWatch::expect(quint64 ticket)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ticket = ticket;
    }
    if (QThread::currentThread() == thread())
        m_timer.start();
    else
        QMetaObject::invokeMethod(&m_timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void SettingsSaveWatch::written(quint64 id, bool onDisk, const SettingsFiles::Failure &failure)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ticket == 0 || id < m_ticket)
            return;
        m_ticket = 0;
    }
    if (!onDisk)
        tell(reason(failure.fault));
}

void SettingsSaveWatch::noAnswer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ticket == 0)
            return;
        // Told once: a later outcome of this save says nothing more.
        m_ticket = 0;
    }
    tell(tr("磁盘无响应"));
}

void SettingsSaveWatch::tell(const QString &reason)
{
    const QString file = QDir::toNativeSeparators(m_path);
    const QString message = m_saved == Saved::Settings
        ? tr("设置未能保存到 %1（%2），本次运行仍有效，将自动重试。").arg(file, reason)
        : tr("默认设置未能保存到 %1（%2），本次运行仍有效，将自动重试。").arg(file, reason);
    QMetaObject::invokeMethod(this, [this, message] { emit notSaved(message); }, Qt::QueuedConnection);
}

QString SettingsSaveWatch::reason(SettingsFiles::Fault fault)
{
    switch (fault) {
    case SettingsFiles::Fault::ReadOnlyFile: return tr("文件只读");
    case SettingsFiles::Fault::ReadOnlyFolder: return tr("所在文件夹只读");
    case SettingsFiles::Fault::CannotReplace: return tr("无法替换原文件");
    case SettingsFiles::Fault::CannotWrite:
    case SettingsFiles::Fault::None: break;
    }
    return tr("磁盘已满或无法写入");
}
