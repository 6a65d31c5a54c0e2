#pragma once

#include "settings/settings_files.h"

#include <QString>

#include <condition_variable>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

// The one writer of a settings file, on a thread of its own. Each write
// takes a snapshot of the settings (under their owners' locks, in memory)
// and writes what changed over the file as it is on disk
// (SettingsFiles::writeIni); a snapshot counts as written only once it is
// on disk. Changes wait up to kDeferMs, so the file is written at most once
// a second while nothing asks for more; now() writes at once. Nothing here ever waits on a lock file, and no caller waits on a
// disk write unless it asks to. Stopped and joined by the destructor.
class SettingsFileWriter
{
public:
    static constexpr int kDeferMs = 1000;

    using Snapshot = SettingsFiles::Changes;
    // Called on the writer's thread with the snapshot's number.
    using Take = std::function<Snapshot(quint64 id)>;
    // Told, on the writer's thread, whether snapshot id reached the disk,
    // and if not, why.
    using Written = std::function<void(quint64 id, bool onDisk, const SettingsFiles::Failure &failure)>;

    SettingsFileWriter(const QString &path, Take take, Written written);
    ~SettingsFileWriter();
    SettingsFileWriter(const SettingsFileWriter &) = delete;
    SettingsFileWriter &operator=(const SettingsFileWriter &) = delete;

    QString path() const { return m_path; }
    // A change to write within kDeferMs.
    void soon();
    // A change to write at once; returns the number of the first snapshot
    // that holds it.
    quint64 now();
    // Snapshot ticket, or a later one, to be written at once, unless one
    // that late has begun already.
    void want(quint64 ticket);
    // Whether that snapshot, or a later one, reached the disk within
    // timeoutMs (false also once it failed).
    bool waitFor(quint64 ticket, int timeoutMs);
    // now() and waitFor().
    bool flush(int timeoutMs);

private:
    using Clock = std::chrono::steady_clock;
    void run();

    const QString m_path;
    Take m_take;
    Written m_written;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    bool m_stop = false;
    bool m_now = false;
    bool m_due = false;
    Clock::time_point m_dueAt;
    quint64 m_started = 0; // the snapshot being taken or written, or the last
    quint64 m_finished = 0;
    quint64 m_lastOnDisk = 0;
    std::thread m_thread;
};
