#include "settings/settings_file_writer.h"

#include "settings/settings_files.h"

SettingsFileWriter::SettingsFileWriter(const QString &path, Take take, Written written)
    : m_path(path)
    , m_take(std::move(take))
    , m_written(std::move(written))
    , m_thread(&SettingsFileWriter::run, this)
{
}

SettingsFileWriter::~SettingsFileWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SettingsFileWriter::soon()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_due || m_now)
        return;
    m_due = true;
    m_dueAt = Clock::now() + std::chrono::milliseconds(kDeferMs);
    m_wake.notify_all();
}

quint64 SettingsFileWriter::now()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_now = true;
    m_wake.notify_all();
    // A snapshot being taken now may have missed what the caller changed.
    return m_started + 1;
}

void SettingsFileWriter::want(quint64 ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started >= ticket)
        return;
    m_now = true;
    m_wake.notify_all();
}

bool SettingsFileWriter::waitFor(quint64 ticket, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_finished >= ticket || m_stop; });
    return m_lastOnDisk >= ticket;
}

bool SettingsFileWriter::flush(int timeoutMs)
{
    return waitFor(now(), timeoutMs);
}

void SettingsFileWriter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_now || m_due; });
        if (m_stop)
            break;
        if (!m_now && m_wake.wait_until(lock, m_dueAt, [this] { return m_stop || m_now; }) && m_stop)
            break;
        m_now = m_due = false;
        const quint64 id = ++m_started;
        lock.unlock();
        const Snapshot changes = m_take(id);
        SettingsFiles::Failure failure;
        const bool onDisk = SettingsFiles::writeIni(m_path, changes, &failure);
        m_written(id, onDisk, failure);
        lock.lock();
        m_finished = id;
        if (onDisk)
            m_lastOnDisk = id;
        m_done.notify_all();
    }
    m_done.notify_all();
}
