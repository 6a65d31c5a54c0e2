#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// What the settings-dialog cases need to see beyond QML: the settings files
// byte for byte, and the value a restart reads back.
class SettingsFiles : public QObject
{
    Q_OBJECT
public:
    explicit SettingsFiles(const QString &programDir, QObject *parent = nullptr);

    // config.ini and configDefault.ini as hex, after pending writes are flushed.
    Q_INVOKABLE QString liveFile() const;
    Q_INVOKABLE QString defaultFile() const;
    // The value of a parameter as a fresh start reads it, from copies of both
    // files in another folder, and the name of its type.
    Q_INVOKABLE QVariant afterRestart(int key) const;
    Q_INVOKABLE QString typeAfterRestart(int key) const;
    // A file of the program folder by name, and making it read-only or
    // writable again.
    Q_INVOKABLE QString filePath(const QString &name) const;
    Q_INVOKABLE bool setWritable(const QString &name, bool writable) const;

private:
    void flush() const;
    QString fileHex(const QString &name) const;
    QVariant restartedValue(int key) const;

    QString m_programDir;
};
