#pragma once

#include "settings/settings_file_writer.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

// configDefault.ini: the values the settings dialog saves as the defaults
// and restores. A save is written by a writer thread of its own, over the
// file as it is on disk, so no caller waits on the disk; until a saved value
// is on disk it is read from here, so a restore right after a save, or after
// a save that could not be written, gives what was saved. A write that fails
// is logged once and tried again every second.
class DefaultsFile
{
public:
    // Told, on the writer's thread, the outcome of each write.
    DefaultsFile(const QString &path, SettingsFileWriter::Written told);
    // The last write, bounded.
    ~DefaultsFile();
    DefaultsFile(const DefaultsFile &) = delete;
    DefaultsFile &operator=(const DefaultsFile &) = delete;

    // The file's keys, with what was saved and is not on disk yet over them.
    QMap<QString, QVariant> values() const;
    // Saves values (INI key to value); returns the ticket of the write that
    // holds them (SettingsFileWriter::now).
    quint64 save(const QMap<QString, QVariant> &values);

private:
    SettingsFileWriter::Snapshot take();
    void written(quint64 id, bool onDisk, const SettingsFiles::Failure &failure);

    const QString m_path;
    const SettingsFileWriter::Written m_told;
    mutable std::mutex m_mutex;
    QMap<QString, QVariant> m_unwritten;
    QMap<QString, QVariant> m_inFlight;
    bool m_failing = false;
    // From the first save; last: stopped and joined before what it reads goes.
    std::unique_ptr<SettingsFileWriter> m_writer;
};
