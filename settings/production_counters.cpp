#include "settings/production_counters.h"

#include "settings/counter_journal.h"
#include "settings/day_clock.h"
#include "settings/db_config.h"
#include "settings/settings_file_writer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlDatabase>
#include <QThread>

#include <cmath>
#include <thread>

using namespace counters;

namespace {

const QString kTodayKey = QStringLiteral("Today/Today");
const QString kVersionSection = QStringLiteral("RowVersion/");
constexpr double kMaxCount = 1e15;
// How long a change waits for config.ini to hold what the store could not
// take (on the GUI thread, which paints the screen, less); a disk that never
// answers does not stop the line.
constexpr int kDurableWaitMs = 5000;
constexpr int kGuiDurableWaitMs = 1000;

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

// The store's version a row's keys were written at, if config.ini says.
bool readVersion(QSettings &settings, const QString &name, qint64 &version)
{
    const QVariant stored = settings.value(kVersionSection + name);
    bool ok = false;
    version = stored.toLongLong(&ok);
    if (stored.isValid() && (!ok || version < 0)) {
        qCritical() << "Config::updateCounterValues" << "unreadable" << kVersionSection + name << stored;
        return false;
    }
    return ok;
}

QString newSpellId()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16);
}

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

ProductionCounters::ProductionCounters(DbConfig &db, std::function<QDateTime()> clock, SettingsAccess settings,
                                       Tell tell)
    : m_db(db)
    , m_store(db)
    , m_settings(std::move(settings))
    , m_tell(std::move(tell))
    , m_clock(std::make_unique<DayClock>(std::move(clock)))
{
    QObject::connect(m_clock.get(), &DayClock::looked, m_clock.get(), [this] { followClock("Config::setToday"); });
}

ProductionCounters::~ProductionCounters() = default;

void ProductionCounters::readFile(const QString &path)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_marker = path + QStringLiteral(".counting");
    const bool storeAhead = QFile::exists(m_marker);
    if (storeAhead)
        qWarning() << "Config::updateCounterValues" << m_marker
                   << "found: the statistics store may hold copies config.ini does not, so the rows are read first";
    m_settings([&](QSettings &s) {
        const QMap<QDate, OwedRow> groups = CounterJournal::read(s);
        int totalKeys = 0, dayKeys = 0;
        m_total = readKeys(s, true, totalKeys);
        m_day = readKeys(s, false, dayKeys);
        m_today = QDate::fromString(s.value(kTodayKey).toString(), Qt::ISODate);
        if (!m_today.isValid() && dayKeys)
            qCritical() << "Config::updateCounterValues" << kTodayKey << s.value(kTodayKey)
                        << "is not a day: the day's counters of config.ini belong to no row";
        m_day.date = m_today;
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            OwedRow &owed = m_owed[it.key()];
            owed = it.value();
            owed.fresh.counts.amounts.date = it.key();
            const UntakenCounts all = owed.sum();
            qWarning().noquote() << "Config::Config" << rowName(it.key())
                                 << (all.owes() ? "has not taken what config.ini keeps for it: "
                                             + describe(all.amounts, all.setByHand)
                                                : QStringLiteral("was not read when config.ini was last written: "
                                                                 "it is read first"));
        }
        for (const QDate &row : {QDate(), m_today}) {
            if (!row.isNull() && !row.isValid())
                continue;
            const bool total = row.isNull();
            // Keys without a version (an older program's) stand for version
            // 0: they win over a row no run of ours has written, unless that
            // program's marker says the store is ahead. With a group and no
            // version the row was not read when they were written.
            qint64 version = 0;
            const bool versioned = readVersion(s, total ? QStringLiteral("Total") : QStringLiteral("Today"), version);
            if (!versioned && groups.contains(row))
                continue;
            OwedRow &owed = m_owed[row];
            owed.fresh.counts.amounts.date = row;
            if (versioned || !storeAhead) {
                // The row holds the keys unless the store wrote it since; a
                // counter the file lacks is the row's own.
                owed.hasBase = true;
                owed.baseVersion = version;
                owed.baseUnversioned = !versioned;
                owed.base = UntakenCounts::replacing(total ? m_total : m_day, total ? totalKeys : dayKeys);
            }
        }
    });
    m_fileRead = true;
    publish();
}

void ProductionCounters::setWriter(SettingsFileWriter *writer)
{
    m_writer = writer;
}

QStringList ProductionCounters::sections()
{
    return {QStringLiteral("Today/"), QStringLiteral("Total/"), kVersionSection, QStringLiteral("Untaken.")};
}

void ProductionCounters::begin()
{
    int changed = 0;
    Save save;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const bool ahead = !m_marker.isEmpty() && QFile::exists(m_marker);
        changed = followClockLocked("Config::Config");
        changed |= attemptLocked("Config::Config");
        if (ahead)
            for (const QDate &row : {QDate(), m_today})
                if (m_versions.contains(row))
                    qWarning().noquote() << "Config::Config" << rowName(row)
                                         << "read from the store, which config.ini lagged";
        m_started = true;
        // Written at once; waited for only when the store does not hold what
        // the counters show.
        m_urgent = true;
        save = saveFor(m_owed.contains(QDate()) || m_owed.contains(m_today));
        publish();
    }
    afterChange(changed, save);
}

void ProductionCounters::end()
{
    quint64 ticket = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (m_started)
            attemptLocked("Config::~Config");
        ticket = m_taken + 1;
    }
    // One save holds the end's state, the other settings' with it.
    const bool onDisk = saved(ticket, kDurableWaitMs);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!std::exchange(m_started, false))
        return;
    for (auto it = m_owed.cbegin(); it != m_owed.cend(); ++it) {
        const UntakenCounts all = it->sum();
        // What no config.ini on disk holds: the groups read at the start are
        // there, and this run's as the last write that got there had them.
        const CounterSpell kept = m_freshOnDisk.value(it.key());
        const UntakenCounts lost = kept.id == it->fresh.id ? it->fresh.counts.minus(kept.counts) : it->fresh.counts;
        if (!all.owes())
            continue;
        if (onDisk || !lost.owes())
            qCritical().noquote() << "Config::~Config" << rowName(it.key())
                                  << "could not take what it is owed before the end; config.ini keeps it:"
                                  << describe(all.amounts, all.setByHand);
        else
            qCritical().noquote() << "Config::~Config" << rowName(it.key())
                                  << "could not take what it is owed before the end, and config.ini"
                                  << (m_fileFailed ? "could not be written either, so these are lost:"
                                                   : "was not on disk in time, so these are lost unless it gets there:")
                                  << describe(lost.amounts, lost.setByHand);
    }
}

void ProductionCounters::add(const WorkDataRecord &delta)
{
    // Opened outside the lock: another program holding the store makes an
    // open slow, and other threads would queue behind it.
    m_db.connection();
    // A new day is told before the copy, so the screen sees the day begin.
    followClock("Config::addCounts");
    int changed = 0;
    Save save;
    {
        const auto lock = turn();
        changed = followClockLocked("Config::addCounts");
        for (const QDate &row : {QDate(), m_today}) {
            WorkDataRecord &shown = row.isNull() ? m_total : m_day;
            const WorkDataRecord before = shown;
            UntakenCounts counted;
            counted.add(delta);
            shown = counted.takenBy(shown);
            changed |= changedFields(before, shown, row.isNull());
            OwedRow &owed = m_owed[row];
            owed.fresh.counts.amounts.date = row;
            owed.fresh.counts.add(delta);
        }
        changed |= attemptLocked("Config::addCounts");
        // What a row could not take is on disk before the count returns.
        save = saveFor(m_owed.contains(QDate()) || m_owed.contains(m_today));
        publish();
    }
    afterChange(changed, save);
}

void ProductionCounters::set(bool total, int field, const QVariant &value)
{
    m_db.connection();
    followClock("Config::setCounter");
    int changed = 0;
    Save save;
    {
        const auto lock = turn();
        changed = followClockLocked("Config::setCounter");
        WorkDataRecord &shown = total ? m_total : m_day;
        const QVariant v = typed(field, value);
        const QDate row = total ? QDate() : m_today;
        // A row not read yet may hold another value than it shows.
        if (fieldValue(shown, field) != v || m_owed.contains(row)) {
            changed |= fieldValue(shown, field) != v ? fieldBit(total, field) : 0;
            setFieldValue(shown, field, v);
            OwedRow &owed = m_owed[row];
            owed.fresh.counts.amounts.date = row;
            owed.fresh.counts.set(field, v);
            // Set by hand, config.ini follows at once.
            m_urgent = true;
        }
        changed |= attemptLocked("Config::setCounter");
        save = saveFor(m_owed.contains(row));
        publish();
    }
    afterChange(changed, save);
}

void ProductionCounters::moveTo(const QDate &day)
{
    int changed = 0;
    Save save;
    {
        const auto lock = turn();
        if (day == m_today)
            return;
        changed = moveDayLocked(day);
        changed |= attemptLocked("Config::setToday");
        save = saveFor(false);
        publish();
    }
    afterChange(changed, save);
}

void ProductionCounters::followClock(const char *where)
{
    int changed = 0;
    Save save;
    {
        const auto lock = turn();
        if (!m_started || m_clock->today() == m_today)
            return;
        changed = followClockLocked(where);
        changed |= attemptLocked(where);
        save = saveFor(false);
        publish();
    }
    afterChange(changed, save);
}

void ProductionCounters::syncKeys()
{
    quint64 ticket = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        ticket = m_taken + 1;
    }
    saved(ticket, kDurableWaitMs);
}

bool ProductionCounters::saved(quint64 ticket, int timeoutMs)
{
    SettingsFileWriter *writer = m_writer.load();
    if (!writer)
        return false;
    writer->want(ticket);
    return writer->waitFor(ticket, timeoutMs);
}

std::unique_lock<std::recursive_mutex> ProductionCounters::turn()
{
    // (The entry points that take it never nest, so no thread waits here
    // while it holds the lock.)
    if (onGuiThread()) {
        ++m_guiWaiting;
        std::unique_lock<std::recursive_mutex> lock(m_lock);
        --m_guiWaiting;
        return lock;
    }
    while (m_guiWaiting.load())
        std::this_thread::yield();
    return std::unique_lock<std::recursive_mutex>(m_lock);
}

ProductionCounters::Save ProductionCounters::saveFor(bool owing)
{
    const bool urgent = std::exchange(m_urgent, false);
    // Every snapshot taken after this one holds the change.
    return {owing ? Write::Durable : urgent ? Write::Now : Write::Soon, m_taken + 1};
}

void ProductionCounters::afterChange(int changed, Save save)
{
    if (changed && m_tell)
        m_tell(changed);
    SettingsFileWriter *writer = m_writer.load();
    if (!writer)
        return;
    if (save.write == Write::Soon) {
        writer->soon();
        return;
    }
    // What the store took is on disk already: only what it could not take
    // waits for config.ini.
    if (save.write == Write::Now) {
        writer->want(save.ticket);
        return;
    }
    const int bound = onGuiThread() ? kGuiDurableWaitMs : kDurableWaitMs;
    if (saved(save.ticket, bound))
        return;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_fileFailed && !std::exchange(m_slowLogged, true))
        qCritical() << "ProductionCounters config.ini was not on disk within" << bound
                    << "ms: what the store could not take is in memory only until it is";
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
        auto owed = m_owed.find(leaving);
        if (owed != m_owed.end() && owed->hasBase && owed->baseUnversioned) {
            // Its keys are about to name another day. Keys of an older
            // program still win over the row, as a group set by hand; keys
            // with a version stay in its group until the row is read (the
            // store, cut off by a power cut, may not hold them).
            owed->carried.prepend({QString(), owed->base});
            owed->hasBase = false;
        }
        if (owed != m_owed.end() && !owed->owes())
            m_owed.erase(owed);
        m_versions.remove(leaving);
    }
    const WorkDataRecord before = m_day;
    m_today = day;
    m_versions.remove(day); // read again: the store may hold more than we left it
    OwedRow &owed = m_owed[day];
    owed.fresh.counts.amounts.date = day;
    // Until the row reads, the day shows what it is owed (keys it showed
    // when it was left held its groups then).
    m_day = (owed.hasBase ? owed.base.then(owed.fresh.counts) : owed.sum()).takenBy(WorkDataRecord{day});
    m_urgent = true;
    return kDayMoved | changedFields(before, m_day, false);
}

int ProductionCounters::attemptLocked(const char *where)
{
    QList<CounterStore::Row> rows;
    for (auto it = m_owed.cbegin(); it != m_owed.cend(); ++it)
        rows.append({it.key(), *it, shownRow(it.key())});
    if (rows.isEmpty() && m_spent.isEmpty())
        return 0;
    m_locked = !m_store.attempt(rows, m_locked ? 0 : CounterStore::kBusyMs, m_spent, m_clock->now());
    int changed = 0;
    for (const CounterStore::Row &row : std::as_const(rows)) {
        if (row.wasRead()) {
            if (shownRow(row.date))
                m_versions.insert(row.date, row.taken && row.write ? row.owed.nextVersion(row.version) : row.version);
            changed |= showRow(row.date, row.target);
            // Records of spells no group of this run holds: gone once
            // config.ini no longer holds them either.
            for (auto it = row.spells.cbegin(); it != row.spells.cend(); ++it)
                m_recorded.insert({row.date, it.key()});
            OwedRow &owed = m_owed[row.date];
            if (owed.hasBase && !owed.baseHolds(row.version))
                owed.hasBase = false;
        }
        settleRow(row, where);
    }
    return changed;
}

void ProductionCounters::settleRow(const CounterStore::Row &row, const char *where)
{
    if (row.taken) {
        for (const CounterSpell &spell : row.owed.carried + QList<CounterSpell>{row.owed.fresh})
            if (!spell.id.isEmpty())
                m_recorded.insert({row.date, spell.id});
        m_owed.remove(row.date);
        if (m_troubled.remove(row.date)) {
            const UntakenCounts all = row.owed.sum();
            qWarning().noquote() << where << rowName(row.date)
                                 << (all.owes() ? "took what it was owed: " + describe(all.amounts, all.setByHand)
                                                : QStringLiteral("can be read again"));
        }
        return;
    }
    const OwedRow &owed = m_owed[row.date];
    if (!owed.owes() && !shownRow(row.date)) {
        m_owed.remove(row.date); // nothing to give a day no longer shown
        return;
    }
    if (m_troubled.contains(row.date))
        return;
    m_troubled.insert(row.date);
    const char *what = row.read == CounterStore::Read::Held ? "is locked by another writer"
        : !row.wasRead()                                    ? "could not be read"
                                                            : "could not be written";
    const UntakenCounts all = owed.sum();
    qCritical().noquote() << where << rowName(row.date) << what << "(" + row.error + "):"
                          << (all.owes() ? "config.ini keeps what it is owed until it takes it: "
                                      + describe(all.amounts, all.setByHand)
                                         : QStringLiteral("the counters show config.ini's until it can be read"));
}

ProductionCounters::Keys ProductionCounters::snapshot(quint64 id, const std::function<Keys()> &settings)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_taken = std::max(m_taken, id);
    Keys keys = settings();
    if (!m_fileRead)
        return keys;
    keys.removeIf([](const auto &it) {
        return CounterJournal::isGroupKey(it.key()) || it.key().startsWith(kVersionSection);
    });
    writeShownKeys(keys);
    InFlight &flight = m_inFlight[id];
    for (auto it = m_owed.begin(); it != m_owed.end(); ++it) {
        const bool shown = shownRow(it.key());
        const bool known = m_versions.contains(it.key()) || it->hasBase;
        // A shown row not read yet keeps a group, empty or not, so no
        // start trusts its keys over the row.
        if (!it->owes() && !(shown && !known))
            continue;
        for (CounterSpell &spell : it->carried)
            if (spell.id.isEmpty())
                spell.id = newSpellId();
        if (it->fresh.id.isEmpty())
            it->fresh.id = newSpellId();
        CounterJournal::write(keys, it.key(), *it, !shown);
        for (const CounterSpell &spell : it->carried + QList<CounterSpell>{it->fresh})
            flight.spells.insert({it.key(), spell.id});
        flight.fresh.insert(it.key(), it->fresh);
    }
    for (const QDate &row : {QDate(), m_today}) {
        if (!row.isNull() && !row.isValid())
            continue;
        const OwedRow owed = m_owed.value(row);
        const qint64 version = m_versions.contains(row)                 ? m_versions.value(row)
            : owed.hasBase && !owed.baseUnversioned ? owed.baseVersion
                                                    : -1;
        if (version >= 0)
            keys.insert(kVersionSection + (row.isNull() ? QStringLiteral("Total") : QStringLiteral("Today")), version);
    }
    return keys;
}

void ProductionCounters::written(quint64 id, bool onDisk, const QString &why)
{
    bool retry = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const InFlight flight = m_inFlight.take(id);
        const QSet<SpellKey> &spells = flight.spells;
        if (onDisk) {
            m_freshOnDisk = flight.fresh;
            if (std::exchange(m_fileFailed, false) | std::exchange(m_slowLogged, false))
                qWarning() << "ProductionCounters" << "config.ini takes the counters again";
            // Taken, and no config.ini holds them any more.
            for (auto it = m_recorded.begin(); it != m_recorded.end();) {
                if (spells.contains(*it)) {
                    ++it;
                    continue;
                }
                m_spent.append(*it);
                it = m_recorded.erase(it);
            }
            if (QFile::exists(m_marker))
                QFile::remove(m_marker);
        } else {
            if (!std::exchange(m_fileFailed, true))
                qCritical().noquote() << "ProductionCounters config.ini cannot be written (" + why
                        + "): the counters go on in the store and in memory, and config.ini is tried again "
                          "every second";
            retry = m_started;
        }
    }
    if (SettingsFileWriter *writer = m_writer.load(); retry && writer)
        writer->soon();
}

void ProductionCounters::writeShownKeys(Keys &keys) const
{
    for (int field = 0; field < FieldCount; ++field) {
        keys.insert(key(true, field), fieldValue(m_total, field));
        if (m_today.isValid())
            keys.insert(key(false, field), fieldValue(m_day, field));
    }
    if (m_today.isValid())
        keys.insert(kTodayKey, m_today.toString(Qt::ISODate));
}

int ProductionCounters::showRow(const QDate &row, const WorkDataRecord &values)
{
    if (!shownRow(row))
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
