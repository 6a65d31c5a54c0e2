#include "tests/qml/settings_files.h"

#include "settings/config.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

SettingsFiles::SettingsFiles(const QString &programDir, QObject *parent)
    : QObject(parent)
    , m_programDir(programDir)
{
}

QString SettingsFiles::fileHex(const QString &name) const
{
    // QSettings writes on its next update event; send it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
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
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
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
