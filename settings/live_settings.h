#pragma once

#include <QMap>
#include <QSet>
#include <QSettings>
#include <QVariant>

// The settings as the program holds them: in memory only. QSettings keeps
// them on a name that can never become a file, and its own deferred save,
// which would write on whatever thread made it while others change keys, is
// switched off: only SettingsFileWriter writes the settings file. It writes
// the keys changed here over the file as it is on disk, so the program
// changes keys through set(), which notes them.
class LiveSettings : public QSettings
{
public:
    LiveSettings();

    // Every key of the INI file at path; the file's read status.
    QSettings::Status load(const QString &path);
    QMap<QString, QVariant> keys();

    void set(const QString &key, const QVariant &value);
    // The keys set since the last write of the file, for the next one; and
    // that write's outcome: one that failed leaves them to the write after.
    QSet<QString> takeChanged();
    void written(bool onDisk);

protected:
    bool event(QEvent *event) override;

private:
    QSet<QString> m_changed;
    QSet<QString> m_writing;
};
