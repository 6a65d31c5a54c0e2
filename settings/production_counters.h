#pragma once

#include "settings/counter_store.h"
#include "settings/owed_row.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DayClock;
class DbConfig;
class QSettings;
class SettingsFileWriter;

// The production counters: the day's and the running totals as the screen
// shows them, config.ini's keys "Today/..." and "Total/...", and their rows of
// t_work_data.
//
// One rule holds everywhere: every copy counted (and every counter set by
// hand) reaches its day's row and the totals' row exactly once. The store
// and config.ini are two media that may each fail: what a row has not taken
// yet is owed to it, and each change tries to bring every row that is owed
// something up to date. A row that cannot take it now (not readable, not
// writable, held by another program, damaged) goes on owing it, kept in
// config.ini in a group of its own, written out at once, until the first
// moment it reads and writes. A healthy row takes a copy at once, on disk
// before the count returns, and the keys follow within a second. The store
// keeps each row's version and the
// groups it took; config.ini keeps the version its keys were written at, so
// a start, whatever ended the run before, takes each row from the one that
// is ahead and never adds a group twice. A copy counts on the day the clock
// names when it is counted.
//
// Called from any thread. The counters' own lock is held across a try of
// the store (bounded in time), never across a write of config.ini; the
// shown values are read under a lock of their own. A change only config.ini
// can hold is waited for on every thread, bounded (the GUI thread's bound
// is short); one the store took never waits for config.ini.
class ProductionCounters
{
public:
    // Runs f with the live settings under the settings object's lock (taken
    // after this object's own, never before).
    using SettingsAccess = std::function<void(const std::function<void(QSettings &)> &)>;
    // Told, outside every lock, which shown values changed (counters::fieldBit).
    using Tell = std::function<void(int changed)>;
    using Keys = QMap<QString, QVariant>;

    ProductionCounters(DbConfig &db, std::function<QDateTime()> clock, SettingsAccess settings, Tell tell);
    ~ProductionCounters();

    // The start: the counters as the settings file at path holds them, the
    // versions its keys were written at, and what its groups say rows are owed.
    void readFile(const QString &path);
    // Where config.ini is written; before begin(). Takes no lock, so it may
    // be called under the settings object's.
    void setWriter(SettingsFileWriter *writer);
    // The sections of config.ini only the counters write: a write of the
    // file puts them as the counters hold them, whatever it holds on disk.
    static QStringList sections();
    // The start's first try of the store, and the day the clock names.
    void begin();
    // The end's last try and one save of config.ini, bounded; what a row
    // still cannot take stays in config.ini (or is logged as lost).
    void end();

    void add(const WorkDataRecord &delta);
    void set(bool total, int field, const QVariant &value);
    void moveTo(const QDate &day);
    // The day the clock names, if the counters are on another (where: the
    // log's name for the caller).
    void followClock(const char *where);
    // config.ini written out now, waited for.
    void syncKeys();

    // The settings file's keys as they are to be written: settings' own
    // (taken under the settings' lock) with the counters' over them.
    Keys snapshot(quint64 id, const std::function<Keys()> &settings);
    // Whether snapshot id reached the disk.
    void written(quint64 id, bool onDisk, const QString &why);

    WorkDataRecord day() const;
    WorkDataRecord total() const;
    QDate today() const;
    QDateTime now() const;

private:
    using SpellKey = QPair<QDate, QString>;
    // Durable: only config.ini can hold the change, which waits for it.
    enum class Write { Soon, Now, Durable };
    struct Save
    {
        Write write = Write::Soon;
        quint64 ticket = 0; // the first snapshot that holds the change
    };
    // The counters' lock, the GUI thread first: threads counting without a
    // pause would otherwise take it turn after turn while the GUI waits.
    std::unique_lock<std::recursive_mutex> turn();

    int followClockLocked(const char *where);
    int moveDayLocked(const QDate &day);
    // Tries every row owed something; returns what of the shown changed.
    int attemptLocked(const char *where);
    void settleRow(const CounterStore::Row &row, const char *where);
    bool shownRow(const QDate &row) const { return row.isNull() || row == m_today; }
    void writeShownKeys(Keys &keys) const;
    int showRow(const QDate &row, const WorkDataRecord &values);
    // Under the lock, at the end of every change: what the getters read.
    void publish();
    // Under the lock, at the end of a change; owing: a shown row could not
    // take it.
    Save saveFor(bool owing);
    // Outside the locks: config.ini is to follow; a change only it can hold
    // is waited for, bounded.
    void afterChange(int changed, Save save);
    // Snapshot ticket, or a later one, written at once; whether it reached
    // the disk within timeoutMs.
    bool saved(quint64 ticket, int timeoutMs);

    DbConfig &m_db;
    CounterStore m_store;
    SettingsAccess m_settings;
    Tell m_tell;
    std::unique_ptr<DayClock> m_clock;
    std::atomic<SettingsFileWriter *> m_writer{nullptr};

    mutable std::recursive_mutex m_lock;
    std::atomic<int> m_guiWaiting{0};
    QDate m_today;
    WorkDataRecord m_day;
    WorkDataRecord m_total;
    // By row (the null date: the totals'): what it has not taken. A row here
    // that owes nothing is one whose values are still to be read.
    QMap<QDate, OwedRow> m_owed;
    // The store's version of rows read this run.
    QHash<QDate, qint64> m_versions;
    // Rows whose trouble has been logged, until they take what they owe.
    QSet<QDate> m_troubled;
    // Spells the store took that a config.ini on disk may still hold; those
    // no longer on disk, to be deleted from the store's records.
    QSet<SpellKey> m_recorded;
    CounterStore::Spent m_spent;
    // The last snapshot of the settings file taken (under the lock).
    quint64 m_taken = 0;
    // The spells each snapshot on its way to the disk holds, and this run's
    // of each row as it holds them.
    struct InFlight
    {
        QSet<SpellKey> spells;
        QHash<QDate, CounterSpell> fresh;
    };
    QHash<quint64, InFlight> m_inFlight;
    QHash<QDate, CounterSpell> m_freshOnDisk; // as the last write on disk held them
    // An older program's marker: the store is ahead of keys without a version.
    QString m_marker;
    // The last try found the store locked by another writer.
    bool m_locked = false;
    bool m_fileRead = false;
    bool m_fileFailed = false;
    // A change waited for config.ini in vain, logged until a write lands.
    bool m_slowLogged = false;
    bool m_started = false;
    // A change config.ini must hold at once.
    bool m_urgent = false;

    mutable std::mutex m_shownLock;
    QDate m_shownToday;
    WorkDataRecord m_shownDay;
    WorkDataRecord m_shownTotal;
};
