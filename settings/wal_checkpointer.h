#pragma once

#include <QString>

class QSqlDatabase;

#include <condition_variable>
#include <mutex>
#include <thread>

// Moves the statistics store's write-ahead log into the database file on a
// thread of its own, once a second. Left to the writers, SQLite does it
// inside whichever commit fills the log, and that commit (a counted copy)
// waits for two disk flushes. Stopped and joined by the destructor.
class WalCheckpointer
{
public:
    static constexpr int kIntervalMs = 1000;

    explicit WalCheckpointer(const QString &path);
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer &) = delete;
    WalCheckpointer &operator=(const WalCheckpointer &) = delete;

private:
    void run();
    void checkpoint(const QSqlDatabase &db);

    QString m_path;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_opened = false;
    std::thread m_thread;
};
