#include "tests/qml/settings_files.h"

#include "settings/config.h"
#include "settings/production_counters.h"

#include <QFile>
#include <QTemporaryDir>

SettingsFiles::SettingsFiles(const QString &programDir, QObject *parent)
    : QObject(parent)
    , m_programDir(programDir)
{
}

void SettingsFiles::flush() const
{
    // The settings file is written within a second of a change; now.
    if (Config *config = Config::instance())
        config->counters().syncKeys();
}

QString SettingsFiles::fileHex(const QString &name) const
{
    flush();
    QFile file(m_programDir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll().toHex());
}

QString SettingsFiles::liveFile() const
{
    return fileHex(QStringLiteral("config.ini"));
}

QString SettingsFiles::defaultFile() const
{
    return fileHex(QStringLiteral("configDefault.ini"));
}

QVariant SettingsFiles::restartedValue(int key) const
{
    flush();
    QTemporaryDir copy;
    for (const QString name : {QStringLiteral("config.ini"), QStringLiteral("configDefault.ini")})
        QFile::copy(m_programDir + QLatin1Char('/') + name, copy.filePath(name));
    Config restarted(copy.path(), copy.filePath(QStringLiteral("config.db")));
    return restarted.getProperty(Config::ConfigParamType(key));
}

QVariant SettingsFiles::afterRestart(int key) const
{
    return restartedValue(key);
}

QString SettingsFiles::typeAfterRestart(int key) const
{
    return QString::fromLatin1(restartedValue(key).typeName());
}

QString SettingsFiles::filePath(const QString &name) const
{
    return m_programDir + QLatin1Char('/') + name;
}

bool SettingsFiles::setWritable(const QString &name, bool writable) const
{
    const QFile::Permissions read = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;
    return QFile::setPermissions(filePath(name), writable ? read | QFile::WriteOwner | QFile::WriteUser : read);
}
