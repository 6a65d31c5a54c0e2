// The production counters of the settings object: the day's and the running
// totals, each a property, an INI key and a column of t_work_data.
#include "settings/config.h"

#include "settings/counter_key_sync.h"
#include "settings/day_clock.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Far beyond any real length or count, and exact in a double.
constexpr double kMaxCount = 1e15;

enum Field { Cut, Print, Copies, ScanMark, ScanMarkOk, FieldCount };
const char *const kFieldNames[FieldCount] = {"cut", "print", "copies", "scan marks", "good scan marks"};

// What changed, to be told: a bit per day counter, one for the day itself,
// a bit per total.
constexpr int kDayMoved = 1 << FieldCount;
constexpr int fieldBit(bool total, int field)
{
    return 1 << (total ? FieldCount + 1 + field : field);
}

// INI keys by field, "Total" and "Today" sections.
const char *const kTotalKeys[FieldCount] = {"Total/Cut", "Total/Print", "Total/Copies", "Total/ScanMark",
                                            "Total/ScanMarkOk"};
const char *const kTodayKeys[FieldCount] = {"Today/Cut", "Today/Print", "Today/Copies", "Today/ScanMark",
                                            "Today/ScanMarkOk"};

QString counterKey(bool total, int field)
{
    return QString::fromLatin1(total ? kTotalKeys[field] : kTodayKeys[field]);
}

QVariant fieldValue(const WorkDataRecord &r, int field)
{
    switch (field) {
    case Cut: return r.cutLen;
    case Print: return r.printLen;
    case Copies: return r.copies;
    case ScanMark: return r.scanMark;
    default: return r.scanMarkOk;
    }
}

void setFieldValue(WorkDataRecord &r, int field, const QVariant &v)
{
    switch (field) {
    case Cut: r.cutLen = v.toDouble(); break;
    case Print: r.printLen = v.toDouble(); break;
    case Copies: r.copies = v.toUInt(); break;
    case ScanMark: r.scanMark = v.toUInt(); break;
    default: r.scanMarkOk = v.toUInt(); break;
    }
}

// Lengths are doubles compared exactly: a relative compare would swallow
// one copy's length once the total is large enough.
QVariant typed(int field, const QVariant &v)
{
    return field <= Print ? QVariant(v.toDouble()) : QVariant(quint32(v.toULongLong()));
}

bool sameField(const WorkDataRecord &a, const WorkDataRecord &b, int field)
{
    return field <= Print ? fieldValue(a, field).toDouble() == fieldValue(b, field).toDouble()
                          : fieldValue(a, field).toUInt() == fieldValue(b, field).toUInt();
}

int changedFields(const WorkDataRecord &before, const WorkDataRecord &after, bool total)
{
    int changed = 0;
    for (int field = 0; field < FieldCount; ++field)
        if (!sameField(before, after, field))
            changed |= fieldBit(total, field);
    return changed;
}

QString rowName(bool total, const QDate &day)
{
    return total ? QStringLiteral("the totals' row") : QStringLiteral("the row of ") + day.toString(Qt::ISODate);
}

const QDate kNoDay = QDate::fromJulianDay(0);
const QString kTodayKey = QStringLiteral("Today/Today");

// The keys of the sections Today and Total as the file on disk holds them.
// Read past QSettings: its objects on one file share what they hold in memory.
QHash<QString, QString> counterKeysIn(const QString &path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QString section;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && (section == QLatin1String("Today") || section == QLatin1String("Total")))
            keys.insert(section + QLatin1Char('/') + line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

} // namespace

bool Config::counterKeysOnDisk() const
{
    // QSettings::status() keeps the first error it met: after a damaged line
    // read at start, a write that failed later still reads as that. Unless
    // the status is clean, the file itself says what this sync wrote.
    if (m_settings->status() == QSettings::NoError)
        return true;
    const QHash<QString, QString> onDisk = counterKeysIn(m_settings->fileName());
    QStringList keys{kTodayKey};
    for (bool total : {true, false})
        for (int field = 0; field < FieldCount; ++field)
            keys.append(counterKey(total, field));
    for (const QString &key : std::as_const(keys))
        if (onDisk.value(key) != m_settings->value(key).toString())
            return false;
    return true;
}

void Config::updateCounterValues(bool save)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // The first read pass is the start's; a later one is the settings read
    // again, which the counters in memory are ahead of.
    const bool start = !save && !m_countersRead;
    const bool storeAhead = !save && m_counterSync->storeAhead();
    bool dayFromStore = false;
    for (bool total : {true, false}) {
        // A row not read yet keeps what was counted since: the file lags it
        // (or names the day before), and its row is the one to write it into.
        CounterRow &row = counterRow(total);
        if (row.unread)
            continue;
        WorkDataRecord &record = row.record;
        // After a run that ended before its file caught up, the store's row
        // holds the last copy counted.
        WorkDataRecord stored;
        const DbConfig::RowRead read = storeAhead ? m_db->readWorkData(record.date, stored) : DbConfig::RowRead::Missing;
        const QString name = total ? QStringLiteral("the totals")
                                   : QStringLiteral("the counters of ") + record.date.toString(Qt::ISODate);
        if (start && storeAhead && read == DbConfig::RowRead::Failed) {
            // Neither the file (behind) nor the row (unread) can be taken:
            // the row is never written over, and what is counted from now on
            // is added to it once it reads.
            row = CounterRow{WorkDataRecord{record.date}, true};
            m_fileLagsUnreadRows = true;
            if (!total)
                m_today = record.date;
            qCritical() << "Config::updateCounterValues" << name
                        << "could not be read from the store, which config.ini lags: its row is not written,"
                        << "and they count from 0 until it can be read";
            continue;
        }
        const bool fromStore = read == DbConfig::RowRead::Found;
        if (start && storeAhead)
            qWarning() << "Config::updateCounterValues" << name
                       << (fromStore ? "from the store" : "from config.ini (the store has no row)");
        dayFromStore = dayFromStore || (fromStore && !total);
        for (int field = 0; field < FieldCount; ++field) {
            const QString key = counterKey(total, field);
            if (save) {
                m_settings->setValue(key, fieldValue(record, field));
                continue;
            }
            if (fromStore) {
                setFieldValue(record, field, fieldValue(stored, field));
                qInfo() << "Config::updateValue" << "from the store: " << key << fieldValue(record, field);
                continue;
            }
            // A missing or unreadable key keeps what the statistics store
            // holds, so a replaced config.ini does not wipe the counts.
            const QVariant stored = m_settings->value(key);
            bool ok = false;
            const QVariant value = field <= Print ? QVariant(stored.toDouble(&ok)) : QVariant(stored.toUInt(&ok));
            // A count is finite and never negative ("inf" parses as a double).
            ok = ok && std::isfinite(value.toDouble()) && value.toDouble() >= 0.0 && value.toDouble() <= kMaxCount;
            if (stored.isValid() && ok)
                setFieldValue(record, field, value);
            else if (stored.isValid())
                qCritical() << "Config::updateCounterValues" << "unreadable" << key << stored
                            << "- keeping" << fieldValue(record, field);
            qInfo() << "Config::updateValue" << "read cfg: " << key << fieldValue(record, field);
        }
    }
    if (save) {
        if (!m_day.unread)
            m_settings->setValue(kTodayKey, m_today.toString(Qt::ISODate));
        return;
    }
    m_countersRead = true;
    if (m_day.unread)
        return;
    // The day's counts from the store's row for a day belong to that day,
    // whatever day a file that could not be written still names.
    // Without the key the day is the one the store had a row for, if any.
    const QDate stored = QDate::fromString(m_settings->value(kTodayKey).toString(), Qt::ISODate);
    if (dayFromStore)
        m_today = m_day.record.date;
    else if (stored.isValid())
        m_today = stored;
    else if (!m_today.isValid())
        m_today = kNoDay;
    qInfo() << "Config::updateValue" << "read cfg: " << kTodayKey << m_today;
}

void Config::emitCounterSignal(bool total, int field)
{
    switch (field) {
    case 0: total ? emit totalCutChanged() : emit todayCutChanged(); break;
    case 1: total ? emit totalPrintChanged() : emit todayPrintChanged(); break;
    case 2: total ? emit totalCopiesChanged() : emit todayCopiesChanged(); break;
    case 3: total ? emit totalScanMarkChanged() : emit todayScanMarkChanged(); break;
    case 4: total ? emit totalScanMarkOkChanged() : emit todayScanMarkOkChanged(); break;
    default: break;
    }
}

QList<WorkDataRecord> Config::readRows() const
{
    QList<WorkDataRecord> rows;
    for (const CounterRow *row : {&m_day, &m_total})
        if (!row->unread)
            rows.append(row->record);
    return rows;
}

// Store, statistics row, INI key (synced, so a killed process keeps it) under
// the lock, so concurrent writers leave the row and the file in one order;
// the signal goes out after the lock is released.
void Config::setCounter(bool total, int field, const QVariant &value)
{
    emitCounterChanges(followClock("Config::setCounter"));
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        CounterRow &row = counterRow(total);
        const QVariant v = typed(field, value);
        // Set by hand while the row is unread: it stands as set once the row
        // reads, instead of being added to it.
        if (row.unread)
            row.setWhileUnread |= 1 << field;
        WorkDataRecord next = row.record;
        setFieldValue(next, field, v);
        if (sameField(row.record, next, field))
            return;
        row.record = next;
        if (row.unread) {
            qWarning() << "Config::setCounter" << counterKey(total, field) << v << "kept until its row is read";
        } else {
            if (m_settings)
                m_counterSync->mark();
            m_db->updateWorkData(row.record);
            if (m_settings) {
                m_settings->setValue(counterKey(total, field), v);
                syncSettings();
            }
        }
    }
    emitCounterSignal(total, field);
}

void Config::addCounts(const WorkDataRecord &delta)
{
    // A copy counts on the day it was made, whether or not midnight has been
    // seen to pass yet.
    emitCounterChanges(followClock("Config::addCounts"));
    int changed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        for (bool total : {true, false}) {
            WorkDataRecord &record = counterRow(total).record;
            const WorkDataRecord before = record;
            record.cutLen += delta.cutLen;
            record.printLen += delta.printLen;
            record.copies += delta.copies;
            record.scanMark += delta.scanMark;
            record.scanMarkOk += delta.scanMarkOk;
            changed |= changedFields(before, record, total);
        }
        // A row that could not be read is not written over: its counts stay
        // in memory until it can be.
        const QList<WorkDataRecord> rows = readRows();
        if (changed && !rows.isEmpty()) {
            const bool marked = m_settings && m_counterSync->mark();
            const bool stored = m_db->updateWorkData(rows);
            if (m_settings) {
                for (bool total : {true, false})
                    for (int field = 0; field < FieldCount; ++field)
                        if ((changed & fieldBit(total, field)) && !counterRow(total).unread)
                            m_settings->setValue(counterKey(total, field), fieldValue(counterRow(total).record, field));
                // The store holds the copy for good; the file follows shortly.
                // Without the store or the marker, the file is all a killed
                // process keeps.
                if (stored && marked)
                    m_counterSync->deferred();
                else
                    syncSettings();
            }
        }
    }
    emitCounterChanges(changed);
}

int Config::followClock(const char *where)
{
    // Of threads counting at midnight, one that read the clock before
    // another had moved the day would otherwise move it back. A clock that
    // was really set back comes through the day clock's own word.
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const int changed = moveDay(std::max(m_dayClock->today(), m_today), where);
    return changed | readUnreadRow(true, where);
}

void Config::setToday(const QDate &date)
{
    int moved = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        moved = moveDay(date, "Config::setToday");
    }
    emitCounterChanges(moved);
}

// The day's counters start from the day's row, or from zero when it has none
// (a day the clock returns to keeps what it counted). The row is written at
// once, and the file is synced: this happens once a day. A row that cannot be
// read is never written over: the day counts from zero in memory, and what it
// counted is added to the row at the first moment it reads (a count, the next
// day's move, the end).
int Config::moveDay(const QDate &date, const char *where)
{
    if (date == m_today && date == m_day.record.date)
        return readUnreadRow(false, where);
    const WorkDataRecord shown = m_day.record;
    if (m_day.unread)
        settleUnreadRow(false, where);
    WorkDataRecord next;
    const DbConfig::RowRead read = m_db->readWorkData(date, next);
    if (read != DbConfig::RowRead::Found)
        next = WorkDataRecord{};
    if (read == DbConfig::RowRead::Failed)
        qCritical() << where << "the row of" << date << "could not be read: it is not written;"
                    << "the day counts from 0 until it can be read";
    next.date = date;
    const int changed = (date != m_today ? kDayMoved : 0) | changedFields(shown, next, false);
    m_today = date;
    m_day = CounterRow{next, read == DbConfig::RowRead::Failed};
    // The file keeps the day it last held: after a restart the INI keys win
    // over the store, and would write over the row that could not be read.
    if (m_day.unread)
        return changed;
    if (m_settings)
        m_counterSync->mark();
    m_db->updateWorkData(m_day.record);
    writeRowKeys(false);
    return changed;
}

int Config::readUnreadRow(bool total, const char *where)
{
    CounterRow &counted = counterRow(total);
    if (!counted.unread)
        return 0;
    WorkDataRecord row;
    const DbConfig::RowRead read = m_db->readWorkData(counted.record.date, row);
    if (read == DbConfig::RowRead::Failed)
        return 0;
    if (read == DbConfig::RowRead::Missing)
        row = WorkDataRecord{};
    const WorkDataRecord merged = counted.mergedWith(row);
    if (m_settings)
        m_counterSync->mark();
    // Once read, the row's counts are known: a write that fails now is
    // one more failed write, and the file holds them until the next.
    const bool written = m_db->updateWorkData(merged);
    const CounterRow was = std::exchange(counted, CounterRow{merged});
    writeRowKeys(total);
    qInfo() << where << rowName(total, merged.date) << "read again: the" << was.record.copies
            << "copies counted meanwhile added to it"
            << (was.setWhileUnread ? "(the counters set by hand stand as set)" : "")
            << (written ? "and written" : "but not written (config.ini holds them)");
    return changedFields(was.record, merged, total);
}

void Config::settleUnreadRow(bool total, const char *where)
{
    readUnreadRow(total, where);
    const CounterRow &counted = counterRow(total);
    if (!counted.unread || counted.holdsNothing())
        return;
    QStringList values;
    for (int field : {Copies, Cut, Print, ScanMark, ScanMarkOk})
        values << QStringLiteral("%1 %2%3")
                      .arg(QLatin1String(kFieldNames[field]), fieldValue(counted.record, field).toString(),
                           (counted.setWhileUnread & (1 << field)) ? QStringLiteral(" (set by hand)") : QString());
    qCritical().noquote() << where << rowName(total, counted.record.date)
                          << "was never read; counted or set while it could not be read, and not in it:"
                          << values.join(QStringLiteral(", "));
}

void Config::writeRowKeys(bool total)
{
    if (!m_settings)
        return;
    for (int field = 0; field < FieldCount; ++field)
        m_settings->setValue(counterKey(total, field), fieldValue(counterRow(total).record, field));
    if (!total)
        m_settings->setValue(kTodayKey, m_today.toString(Qt::ISODate));
    syncSettings();
}

void Config::emitCounterChanges(int changed)
{
    if (changed & kDayMoved)
        emit todayChanged();
    for (bool total : {false, true})
        for (int field : {Copies, Cut, Print, ScanMark, ScanMarkOk})
            if (changed & fieldBit(total, field))
                emitCounterSignal(total, field);
}

WorkDataRecord Config::dayRecord() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_day.record;
}

WorkDataRecord Config::totalRecord() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_total.record;
}

QDate Config::today() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_today;
}

QDateTime Config::now() const
{
    return m_dayClock->now();
}

double Config::todayCut() const { return dayRecord().cutLen; }
void Config::setTodayCut(double v) { setCounter(false, Cut, v); }
double Config::todayPrint() const { return dayRecord().printLen; }
void Config::setTodayPrint(double v) { setCounter(false, Print, v); }
int Config::todayCopies() const { return int(dayRecord().copies); }
void Config::setTodayCopies(int v) { setCounter(false, Copies, quint32(v)); }
int Config::todayScanMark() const { return int(dayRecord().scanMark); }
void Config::setTodayScanMark(int v) { setCounter(false, ScanMark, quint32(v)); }
int Config::todayScanMarkOk() const { return int(dayRecord().scanMarkOk); }
void Config::setTodayScanMarkOk(int v) { setCounter(false, ScanMarkOk, quint32(v)); }
double Config::totalCut() const { return totalRecord().cutLen; }
void Config::setTotalCut(double v) { setCounter(true, Cut, v); }
double Config::totalPrint() const { return totalRecord().printLen; }
void Config::setTotalPrint(double v) { setCounter(true, Print, v); }
// The whole-number totals are held in 32 bits; a larger value keeps its low
// 32 bits.
quint64 Config::totalCopies() const { return totalRecord().copies; }
void Config::setTotalCopies(quint64 v) { setCounter(true, Copies, quint32(v)); }
quint64 Config::totalScanMark() const { return totalRecord().scanMark; }
void Config::setTotalScanMark(quint64 v) { setCounter(true, ScanMark, quint32(v)); }
quint64 Config::totalScanMarkOk() const { return totalRecord().scanMarkOk; }
void Config::setTotalScanMarkOk(quint64 v) { setCounter(true, ScanMarkOk, quint32(v)); }
