#include "settings/live_settings.h"

#include "settings/settings_files.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <utility>

namespace {

// Beneath the program file, which is a file: the folder can never be made,
// so QSettings never takes a lock or writes, and an instance's name is never
// reused, so no cached copy of another's keys is found.
QString inMemoryName()
{
    static std::atomic<int> serial{0};
    QString base = QCoreApplication::applicationFilePath();
    if (base.isEmpty())
        base = QStringLiteral("/dev/null");
    return base + QStringLiteral("/settings-%1-%2.ini").arg(QCoreApplication::applicationPid()).arg(++serial);
}

} // namespace

LiveSettings::LiveSettings()
    : QSettings(inMemoryName(), QSettings::IniFormat)
{
}

QSettings::Status LiveSettings::load(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    for (const QString &key : file.allKeys())
        setValue(key, file.value(key));
    return file.status();
}

QMap<QString, QVariant> LiveSettings::keys()
{
    QMap<QString, QVariant> all;
    for (const QString &key : allKeys())
        all.insert(key, value(key));
    return all;
}

void LiveSettings::set(const QString &key, const QVariant &value)
{
    setValue(key, value);
    m_changed.insert(SettingsFiles::normalizedKey(key));
}

QSet<QString> LiveSettings::takeChanged()
{
    m_writing.unite(std::exchange(m_changed, {}));
    return m_writing;
}

void LiveSettings::written(bool onDisk)
{
    if (!onDisk)
        m_changed.unite(m_writing);
    m_writing.clear();
}

bool LiveSettings::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest)
        return true;
    return QSettings::event(event);
}
