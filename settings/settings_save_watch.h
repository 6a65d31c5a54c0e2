#pragma once

#include "settings/settings_files.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <mutex>

// Tells the operator when a save of the settings dialog did not reach its
// file, and why: the writer's outcome of the write that holds the save, or,
// when the disk gives none within kAnswerMs, that it does not answer. The
// outcome comes on the writer's thread and the message leaves on this
// object's, so no caller waits on a disk.
class SettingsSaveWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kAnswerMs = 10000;
    enum class Saved { Settings, Defaults };

    SettingsSaveWatch(Saved saved, const QString &path, QObject *parent = nullptr);

    // A save the operator asked for, held by the writer's snapshot ticket
    // and those after it. Any thread.
    void expect(quint64 ticket);
    // The writer's outcome of snapshot id. Any thread.
    void written(quint64 id, bool onDisk, const SettingsFiles::Failure &failure);

signals:
    void notSaved(const QString &message);

private:
    void noAnswer();
    void tell(const QString &reason);
    static QString reason(SettingsFiles::Fault fault);

    const Saved m_saved;
    const QString m_path;
    std::mutex m_mutex;
    quint64 m_ticket = 0; // none awaited
    QTimer m_timer;
};
