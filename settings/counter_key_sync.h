#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// When the settings file's counter keys reach the disk. A counted copy goes
// to the statistics store at once (its commits survive a killed process) and
// into the file's keys in memory; syncing the file costs two disk flushes and
// a rename, so it waits up to kSyncMs and takes every copy counted by then.
// Meanwhile a marker beside the file says the store is ahead of it: a start
// that finds the marker takes the counters from the store.
//
// mark(), deferred() and synced() are called under the counters' lock, from
// any thread; the sync itself runs on this object's thread.
class CounterKeySync : public QObject
{
public:
    static constexpr int kSyncMs = 1000;

    // sync writes the settings file out and calls synced() when it did.
    explicit CounterKeySync(std::function<void()> sync, QObject *parent = nullptr);

    // The settings file; whether its marker was there is noted here.
    void setSettingsFile(const QString &path);
    // The last run ended with counts in the store the file never got.
    bool storeAhead() const { return m_foundAtStart; }

    // Leaves the marker (once) before counts go to the store, so no kill
    // after the store's commit finds a file that lags without it. False
    // when it cannot be made: the caller then syncs the file at once.
    bool mark();
    // Counter keys changed in memory only: a sync is due.
    void deferred();
    // The file on disk holds every counter key: the marker goes.
    void synced();

private:
    std::function<void()> m_sync;
    QTimer m_timer;
    QString m_marker;
    bool m_foundAtStart = false;
    bool m_marked = false;
};
