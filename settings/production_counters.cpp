#include "settings/production_counters.h"

#include "settings/counter_journal.h"
#include "settings/counter_key_sync.h"
#include "settings/day_clock.h"

#include <QDebug>
#include <QSettings>

#include <cmath>

using namespace counters;

namespace {

const QString kTodayKey = QStringLiteral("Today/Today");
constexpr double kMaxCount = 1e15;

// The counters of a section as config.ini holds them; valid gets a bit per
// counter the file holds as a count.
WorkDataRecord readKeys(QSettings &settings, bool total, int &valid)
{
    WorkDataRecord record;
    valid = 0;
    for (int field = 0; field < FieldCount; ++field) {
        const QVariant stored = settings.value(key(total, field));
        bool ok = false;
        const double value = stored.toDouble(&ok);
        // A count is finite and never negative ("inf" parses as a double).
        if (ok && std::isfinite(value) && value >= 0 && value <= kMaxCount) {
            setFieldValue(record, field, typed(field, value));
            valid |= 1 << field;
        } else if (stored.isValid()) {
            qCritical() << "Config::updateCounterValues" << "unreadable" << key(total, field) << stored
                        << "- the store's row holds it";
        }
    }
    return record;
}

} // namespace

ProductionCounters::ProductionCounters(DbConfig &db, std::function<QDateTime()> clock, SettingsAccess settings,
                                       Tell tell)
    : m_db(db)
    , m_store(db)
    , m_settings(std::move(settings))
    , m_tell(std::move(tell))
    , m_clock(std::make_unique<DayClock>(std::move(clock)))
    , m_sync(std::make_unique<CounterKeySync>([this] { syncKeys(); }))
{
    QObject::connect(m_clock.get(), &DayClock::looked, m_clock.get(), [this] { followClock("Config::setToday"); });
}

ProductionCounters::~ProductionCounters()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_started)
        attemptLocked("Config::~Config");
    for (auto it = m_owed.cbegin(); it != m_owed.cend(); ++it)
        if (it->owes())
            qCritical().noquote() << "Config::~Config" << rowName(it.key())
                                  << "could not take what it is owed before the end; config.ini keeps it:"
                                  << describe(it->amounts, it->setByHand);
    syncLocked();
}

void ProductionCounters::readFile()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_settings([this](QSettings &s) {
        m_sync->setSettingsFile(s.fileName());
        const bool storeAhead = m_sync->storeAhead();
        m_journal = CounterJournal::read(s);
        m_owed = m_journal;
        int totalKeys = 0, dayKeys = 0;
        m_total = readKeys(s, true, totalKeys);
        m_day = readKeys(s, false, dayKeys);
        m_today = QDate::fromString(s.value(kTodayKey).toString(), Qt::ISODate);
        if (!m_today.isValid() && dayKeys)
            qCritical() << "Config::updateCounterValues" << kTodayKey << s.value(kTodayKey)
                        << "is not a day: the day's counters of config.ini belong to no row";
        m_day.date = m_today;
        for (const QDate &row : {QDate(), m_today}) {
            if ((!row.isNull() && !row.isValid()) || m_owed.contains(row))
                continue;
            if (storeAhead) {
                // The row as stored is ahead of the file: it is read first.
                m_owed.insert(row, UntakenCounts{WorkDataRecord{row}});
                m_storeAhead.insert(row);
            } else {
                // config.ini wins; a counter it lacks is the row's own.
                const WorkDataRecord &shown = row.isNull() ? m_total : m_day;
                m_owed.insert(row, UntakenCounts::replacing(shown, row.isNull() ? totalKeys : dayKeys));
            }
        }
        for (auto it = m_journal.cbegin(); it != m_journal.cend(); ++it)
            qWarning().noquote() << "Config::Config" << rowName(it.key())
                                 << (it->owes() ? "has not taken what config.ini keeps for it: "
                                             + describe(it->amounts, it->setByHand)
                                                : QStringLiteral("was not read when config.ini was last written: "
                                                                 "it is read first"));
    });
    publish();
}

void ProductionCounters::writeKeys()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_settings([this](QSettings &s) { writeShownKeys(s); });
}

void ProductionCounters::begin()
{
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        // The day config.ini names keeps what it is owed in a group of its
        // own once the keys name another day.
        const QSet<QDate> ahead = m_storeAhead;
        changed = followClockLocked("Config::Config");
        m_syncNow = true;
        changed |= attemptLocked("Config::Config");
        for (const QDate &row : ahead)
            if (!m_storeAhead.contains(row) && (row.isNull() || row == m_today))
                qWarning().noquote() << "Config::Config" << rowName(row)
                                     << "read from the store, which config.ini lagged";
        m_started = true;
        publish();
    }
    tell(changed);
}

void ProductionCounters::add(const WorkDataRecord &delta)
{
    // A new day is told before the copy, so the screen sees the day begin.
    followClock("Config::addCounts");
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        changed = followClockLocked("Config::addCounts");
        for (const QDate &row : {QDate(), m_today}) {
            WorkDataRecord &shown = row.isNull() ? m_total : m_day;
            const WorkDataRecord before = shown;
            UntakenCounts counted;
            counted.add(delta);
            shown = counted.takenBy(shown);
            changed |= changedFields(before, shown, row.isNull());
            auto owed = m_owed.find(row);
            if (owed == m_owed.end())
                owed = m_owed.insert(row, UntakenCounts{WorkDataRecord{row}});
            owed->add(delta);
        }
        changed |= attemptLocked("Config::addCounts");
        publish();
    }
    tell(changed);
}

void ProductionCounters::set(bool total, int field, const QVariant &value)
{
    followClock("Config::setCounter");
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        changed = followClockLocked("Config::setCounter");
        WorkDataRecord &shown = total ? m_total : m_day;
        const QVariant v = typed(field, value);
        const QDate row = total ? QDate() : m_today;
        // A row not read yet may hold another value than it shows.
        if (fieldValue(shown, field) != v || m_owed.contains(row)) {
            changed |= fieldValue(shown, field) != v ? fieldBit(total, field) : 0;
            setFieldValue(shown, field, v);
            auto owed = m_owed.find(row);
            if (owed == m_owed.end())
                owed = m_owed.insert(row, UntakenCounts{WorkDataRecord{row}});
            owed->set(field, v);
            // Set by hand, it survives a kill as it was set: config.ini never
            // holds the older value once the set returns.
            m_syncNow = true;
        }
        changed |= attemptLocked("Config::setCounter");
        publish();
    }
    tell(changed);
}

void ProductionCounters::moveTo(const QDate &day)
{
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (day == m_today)
            return;
        changed = moveDayLocked(day);
        changed |= attemptLocked("Config::setToday");
        publish();
    }
    tell(changed);
}

void ProductionCounters::followClock(const char *where)
{
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_started || m_clock->today() == m_today)
            return;
        changed = followClockLocked(where);
        changed |= attemptLocked(where);
        publish();
    }
    tell(changed);
}

void ProductionCounters::syncKeys()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    syncLocked();
}

int ProductionCounters::followClockLocked(const char *where)
{
    // Read under the lock: of threads counting at midnight the first to see
    // the new day moves it, and none moves it back. A clock set back moves
    // it back, as the clock names the day.
    const QDate day = m_clock->today();
    if (day == m_today)
        return 0;
    qInfo() << where << "the day moves from" << m_today << "to" << day;
    return moveDayLocked(day);
}

// The day's counters become the new day's row with what it is owed, read at
// the try that follows. The day left keeps what it owes, in config.ini.
int ProductionCounters::moveDayLocked(const QDate &day)
{
    // (No day yet is a null date, which is the totals' row.)
    if (const QDate leaving = m_today; leaving.isValid()) {
        m_storeAhead.remove(leaving);
        if (m_owed.contains(leaving) && !m_owed.value(leaving).owes()) {
            m_owed.remove(leaving);
            if (m_journal.contains(leaving))
                journal(leaving, nullptr);
        }
        // The keys are about to name another day.
        if (m_owed.contains(leaving) && !(m_journal.value(leaving) == m_owed.value(leaving)))
            journal(leaving, &m_owed[leaving]);
    }
    const WorkDataRecord before = m_day;
    m_today = day;
    auto owed = m_owed.find(day);
    if (owed == m_owed.end())
        owed = m_owed.insert(day, UntakenCounts{WorkDataRecord{day}});
    // Until the row reads, the day shows what it is owed.
    m_day = owed->takenBy(WorkDataRecord{day});
    m_syncNow = true;
    return kDayMoved | changedFields(before, m_day, false);
}

int ProductionCounters::attemptLocked(const char *where)
{
    // A row owed copies config.ini does not hold (no group of its own) gets
    // them ahead of the file: the marker first.
    bool ahead = false;
    QList<CounterStore::Row> rows;
    for (auto it = m_owed.cbegin(); it != m_owed.cend(); ++it) {
        ahead = ahead || (!m_journal.contains(it.key()) && it->adds());
        rows.append({it.key(), *it});
    }
    // Any write of the file from here on holds what is counted.
    m_settings([this](QSettings &s) { writeShownKeys(s); });
    // Without the marker the file is written first, so it never lags.
    if (ahead && !m_sync->mark())
        syncLocked();
    if (!rows.isEmpty()) {
        m_locked = !m_store.attempt(rows, m_locked ? 0 : CounterStore::kBusyMs, [this](QList<CounterStore::Row> &read) {
            // A row config.ini says is owed copies would take them twice if
            // the process ended between the commit and the file's next
            // write: the file says first what the row holds once it took them.
            QList<CounterStore::Row *> rewritten;
            for (CounterStore::Row &row : read) {
                if (row.write && m_journal.contains(row.date) && row.owed.adds()) {
                    row.owed = UntakenCounts::replacing(row.target);
                    m_owed[row.date] = row.owed;
                    journal(row.date, &row.owed);
                    rewritten.append(&row);
                }
            }
            if (!rewritten.isEmpty() && !syncLocked())
                for (CounterStore::Row *row : rewritten)
                    row->write = false;
        });
    }
    int changed = 0;
    for (const CounterStore::Row &row : std::as_const(rows)) {
        if (row.wasRead()) {
            m_storeAhead.remove(row.date);
            changed |= showRow(row.date, row.target);
        }
        settleRow(row, where);
    }
    m_settings([this](QSettings &s) { writeShownKeys(s); });
    if (m_syncNow)
        syncLocked();
    else
        m_sync->deferred();
    return changed;
}

void ProductionCounters::settleRow(const CounterStore::Row &row, const char *where)
{
    if (row.taken) {
        m_owed.remove(row.date);
        if (m_journal.contains(row.date))
            journal(row.date, nullptr);
        if (m_troubled.remove(row.date))
            qWarning().noquote() << where << rowName(row.date)
                                 << (row.owed.owes() ? "took what it was owed: " + describe(row.owed.amounts,
                                                                                            row.owed.setByHand)
                                                     : QStringLiteral("can be read again"));
        return;
    }
    // A shown row not read yet shows less than it may hold: its group, empty
    // or not, tells the next start to read it rather than trust the keys.
    const UntakenCounts &owed = m_owed[row.date];
    const bool shown = row.date.isNull() || row.date == m_today;
    if (!owed.owes() && !shown) {
        m_owed.remove(row.date); // nothing to give a day no longer shown
        if (m_journal.contains(row.date))
            journal(row.date, nullptr);
        return;
    }
    if (!(m_journal.contains(row.date) && m_journal.value(row.date) == owed))
        journal(row.date, &owed);
    if (m_troubled.contains(row.date))
        return;
    m_troubled.insert(row.date);
    const char *what = row.read == CounterStore::Read::Held ? "is locked by another writer"
        : !row.wasRead()                                    ? "could not be read"
                                                            : "could not be written";
    qCritical().noquote() << where << rowName(row.date) << what << "(" + row.error + "):"
                          << (owed.owes() ? "config.ini keeps what it is owed until it takes it: "
                                      + describe(owed.amounts, owed.setByHand)
                                          : QStringLiteral("the counters show config.ini's until it can be read"));
}

void ProductionCounters::journal(const QDate &row, const UntakenCounts *owed)
{
    if (owed)
        m_journal.insert(row, *owed);
    else
        m_journal.remove(row);
    m_settings([&](QSettings &s) {
        if (owed)
            CounterJournal::write(s, row, *owed);
        else
            CounterJournal::remove(s, row);
    });
    m_syncNow = true;
}

bool ProductionCounters::syncLocked()
{
    bool onDisk = false;
    m_settings([&](QSettings &s) {
        s.sync();
        onDisk = CounterJournal::onDisk(s);
    });
    m_syncNow = false;
    if (onDisk != !m_fileFailed)
        onDisk ? qWarning() << "ProductionCounters" << "config.ini takes the counters again"
               : qCritical() << "ProductionCounters" << "config.ini cannot be written: the counters live in memory "
                                                          "and in the store until it can";
    m_fileFailed = !onDisk;
    // The marker goes once the file holds all the store does, or a group of
    // its own says a row is to be read first.
    if (onDisk)
        m_sync->synced();
    return onDisk;
}

void ProductionCounters::writeShownKeys(QSettings &s) const
{
    for (int field = 0; field < FieldCount; ++field) {
        s.setValue(key(true, field), fieldValue(m_total, field));
        if (m_today.isValid())
            s.setValue(key(false, field), fieldValue(m_day, field));
    }
    if (m_today.isValid())
        s.setValue(kTodayKey, m_today.toString(Qt::ISODate));
}

int ProductionCounters::showRow(const QDate &row, const WorkDataRecord &values)
{
    if (!row.isNull() && row != m_today)
        return 0;
    WorkDataRecord &shown = row.isNull() ? m_total : m_day;
    const int changed = changedFields(shown, values, row.isNull());
    shown = values;
    shown.date = row;
    return changed;
}

void ProductionCounters::publish()
{
    std::lock_guard<std::mutex> lock(m_shownLock);
    m_shownToday = m_today;
    m_shownDay = m_day;
    m_shownTotal = m_total;
}

void ProductionCounters::tell(int changed)
{
    if (changed && m_tell)
        m_tell(changed);
}

WorkDataRecord ProductionCounters::day() const
{
    std::lock_guard<std::mutex> lock(m_shownLock);
    return m_shownDay;
}

WorkDataRecord ProductionCounters::total() const
{
    std::lock_guard<std::mutex> lock(m_shownLock);
    return m_shownTotal;
}

QDate ProductionCounters::today() const
{
    std::lock_guard<std::mutex> lock(m_shownLock);
    return m_shownToday;
}

QDateTime ProductionCounters::now() const
{
    return m_clock->now();
}
