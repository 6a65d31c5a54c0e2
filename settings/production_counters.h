#pragma once

#include "settings/counter_store.h"
#include "settings/untaken_counts.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QSet>

#include <functional>
#include <memory>
#include <mutex>

class CounterKeySync;
class DayClock;
class DbConfig;
class QSettings;

// The production counters: the day's and the running totals as the screen
// shows them, config.ini's keys "Today/..." and "Total/...", and their rows of
// t_work_data.
//
// One rule holds everywhere: every copy counted (and every counter set by
// hand) reaches its day's row and the totals' row exactly once. What a row
// has not taken yet is owed to it; each change tries to bring every row that
// is owed something up to date, and a row that cannot take it now (not
// readable, not writable, held by another program, damaged) goes on owing
// it, kept in config.ini in a group of its own, synced at once, until the
// first moment it reads and writes. A healthy row takes a copy at once and
// the keys follow within a second, "config.ini.counting" marking meanwhile
// that the store holds copies the file does not. A copy counts on the day
// the clock names when it is counted.
//
// Called from any thread. The counters' own lock is held across a try of
// the store (bounded in time); the shown values are read under a lock of
// their own, so reading them never waits for the store.
class ProductionCounters
{
public:
    // Runs f with the live settings under the settings object's lock (taken
    // after this object's own, never before).
    using SettingsAccess = std::function<void(const std::function<void(QSettings &)> &)>;
    // Told, outside every lock, which shown values changed (counters::fieldBit).
    using Tell = std::function<void(int changed)>;

    ProductionCounters(DbConfig &db, std::function<QDateTime()> clock, SettingsAccess settings, Tell tell);
    // The last try of the store; what it still cannot take stays in config.ini.
    ~ProductionCounters();

    // The start: the counters as config.ini holds them, what its groups say
    // rows are owed, and whether its marker says the store is ahead.
    void readFile();
    // The start's write pass: the shown counters into their keys.
    void writeKeys();
    // The start's first try of the store, and the day the clock names.
    void begin();

    void add(const WorkDataRecord &delta);
    void set(bool total, int field, const QVariant &value);
    void moveTo(const QDate &day);
    // The day the clock names, if the counters are on another (where: the
    // log's name for the caller).
    void followClock(const char *where);
    // config.ini written out now (the deferred write of the keys).
    void syncKeys();

    WorkDataRecord day() const;
    WorkDataRecord total() const;
    QDate today() const;
    QDateTime now() const;

private:
    int followClockLocked(const char *where);
    int moveDayLocked(const QDate &day);
    // Tries every row owed something; returns what of the shown changed.
    int attemptLocked(const char *where);
    void settleRow(const CounterStore::Row &row, const char *where);
    void journal(const QDate &row, const UntakenCounts *owed);
    bool syncLocked();
    void writeShownKeys(QSettings &settings) const;
    int showRow(const QDate &row, const WorkDataRecord &values);
    // Under the lock, at the end of every change: what the getters read.
    void publish();
    void tell(int changed);

    DbConfig &m_db;
    CounterStore m_store;
    SettingsAccess m_settings;
    Tell m_tell;
    std::unique_ptr<DayClock> m_clock;
    std::unique_ptr<CounterKeySync> m_sync;

    mutable std::recursive_mutex m_lock;
    QDate m_today;
    WorkDataRecord m_day;
    WorkDataRecord m_total;
    // By row (the null date: the totals'): what it has not taken. A row here
    // that owes nothing is one whose values are still to be read.
    QMap<QDate, UntakenCounts> m_owed;
    // What config.ini's groups hold, as last written.
    QMap<QDate, UntakenCounts> m_journal;
    // Rows whose trouble has been logged, until they take what they owe.
    QSet<QDate> m_troubled;
    // Shown rows a start with the marker has not read yet.
    QSet<QDate> m_storeAhead;
    // The last try found the store locked by another writer.
    bool m_locked = false;
    bool m_syncNow = false;
    bool m_fileFailed = false;
    bool m_started = false;

    mutable std::mutex m_shownLock;
    QDate m_shownToday;
    WorkDataRecord m_shownDay;
    WorkDataRecord m_shownTotal;
};
