#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class VariableData;

// Reads a data source on a thread of its own, so that a large sheet never
// holds the GUI thread, and tells how far it got. The thread is owned here:
// a new read, stop() and the destructor end and join it.
class DataSourceLoader : public QObject
{
    Q_OBJECT

public:
    explicit DataSourceLoader(QObject *parent = nullptr);
    ~DataSourceLoader() override;

    // Starts reading path; a read still running is stopped first.
    void start(const QString &path);
    void stop();
    // Waits up to timeout for the read to end; when it ended, loaded() has
    // been emitted before this returns true.
    bool waitFor(std::chrono::milliseconds timeout);
    bool busy() const { return m_progress.load() >= 0; }
    // -1 when no read runs, else 0..100.
    int progress() const { return m_progress.load(); }

signals:
    // On this object's thread; data is null when the sheet was not read
    // (logged).
    void loaded(const QString &path, std::shared_ptr<const VariableData> data);
    void progressChanged();

private:
    void deliver(unsigned generation);
    void setProgress(int percent);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_progress{-1};
    std::mutex m_lock; // the result below
    std::condition_variable m_done;
    unsigned m_generation = 0;
    bool m_finished = false;
    QString m_path;
    std::shared_ptr<const VariableData> m_result;
};
