#pragma once

#include <QMap>
#include <QSettings>
#include <QVariant>

// The settings as the program holds them: in memory only. QSettings keeps
// them on a name that can never become a file, and its own deferred save,
// which would write on whatever thread made it while others change keys, is
// switched off: only SettingsFileWriter writes the settings file.
class LiveSettings : public QSettings
{
public:
    LiveSettings();

    // Every key of the INI file at path; the file's read status.
    QSettings::Status load(const QString &path);
    QMap<QString, QVariant> keys();

protected:
    bool event(QEvent *event) override;
};
