// The production counters of the settings object: the day's and the running
// totals, each a property, an INI key and a column of t_work_data.
#include "settings/config.h"

#include "settings/counter_key_sync.h"
#include "settings/day_clock.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QSettings>

#include <cmath>

namespace {

// Far beyond any real length or count, and exact in a double.
constexpr double kMaxCount = 1e15;

enum Field { Cut, Print, Copies, ScanMark, ScanMarkOk, FieldCount };
// What moveDay changed besides the day counters.
constexpr int kDayMoved = 1 << FieldCount;

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
    bool dayFromStore = false;
    for (bool total : {true, false}) {
        // An unread day keeps what it counted since the start: the file still
        // names the day before it, and its row is the one to write it into.
        if (!total && m_dayRowUnread)
            continue;
        WorkDataRecord &record = total ? m_totalRecord : m_dayRecord;
        // After a run that ended before its file caught up, the store's row
        // (read at construction) holds the last copy counted.
        WorkDataRecord stored;
        const bool fromStore = !save && m_counterSync->storeAhead() && m_db->selectWorkData(record.date, stored);
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
        if (!m_dayRowUnread)
            m_settings->setValue(kTodayKey, m_today.toString(Qt::ISODate));
        return;
    }
    if (m_dayRowUnread)
        return;
    // The day's counts from the store's row for a day belong to that day,
    // whatever day a file that could not be written still names.
    // Without the key the day is the one the store had a row for, if any.
    const QDate stored = QDate::fromString(m_settings->value(kTodayKey).toString(), Qt::ISODate);
    if (dayFromStore)
        m_today = m_dayRecord.date;
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

// Store, statistics row, INI key (synced, so a killed process keeps it) under
// the lock, so concurrent writers leave the row and the file in one order;
// the signal goes out after the lock is released.
void Config::setCounter(bool total, int field, const QVariant &value)
{
    setToday(m_dayClock->today());
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        WorkDataRecord &record = total ? m_totalRecord : m_dayRecord;
        const QVariant v = typed(field, value);
        // Set by hand while the day's row is unread: it stands as set once the
        // row reads, instead of being added to it.
        if (!total && m_dayRowUnread)
            m_daySetWhileUnread |= 1 << field;
        WorkDataRecord next = record;
        setFieldValue(next, field, v);
        if (sameField(record, next, field))
            return;
        record = next;
        // A day row that could not be read gets the value once it is.
        if (!total && m_dayRowUnread) {
            qWarning() << "Config::setCounter" << counterKey(total, field) << v << "kept until the day's row is read";
        } else {
            if (m_settings)
                m_counterSync->mark();
            m_db->updateWorkData(record);
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
    setToday(m_dayClock->today());
    bool changed[2][FieldCount] = {};
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        bool any = false;
        for (bool total : {true, false}) {
            WorkDataRecord &record = total ? m_totalRecord : m_dayRecord;
            const WorkDataRecord before = record;
            record.cutLen += delta.cutLen;
            record.printLen += delta.printLen;
            record.copies += delta.copies;
            record.scanMark += delta.scanMark;
            record.scanMarkOk += delta.scanMarkOk;
            for (int field = 0; field < FieldCount; ++field) {
                changed[total][field] = !sameField(before, record, field);
                any = any || changed[total][field];
            }
        }
        if (!any)
            return;
        const bool marked = m_settings && m_counterSync->mark();
        // A day row that could not be read is not written over: the day's
        // counts stay in memory until it can be.
        const bool stored = m_db->updateWorkData(m_dayRowUnread ? QList<WorkDataRecord>{m_totalRecord}
                                                                : QList<WorkDataRecord>{m_dayRecord, m_totalRecord});
        if (m_settings) {
            for (bool total : {true, false})
                for (int field = 0; field < FieldCount; ++field)
                    if (changed[total][field] && (total || !m_dayRowUnread))
                        m_settings->setValue(counterKey(total, field),
                                             fieldValue(total ? m_totalRecord : m_dayRecord, field));
            // The store holds the copy for good; the file follows shortly.
            // Without the store or the marker, the file is all a killed
            // process keeps.
            if (stored && marked)
                m_counterSync->deferred();
            else
                syncSettings();
        }
    }
    for (bool total : {false, true})
        for (int field = 0; field < FieldCount; ++field)
            if (changed[total][field])
                emitCounterSignal(total, field);
}

void Config::setToday(const QDate &date)
{
    int moved = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        moved = moveDay(date);
    }
    emitDayMoved(moved);
}

// The day's counters start from the day's row, or from zero when it has none
// (a day the clock returns to keeps what it counted). The row is written at
// once, and the file is synced: this happens once a day. A row that cannot be
// read is never written over: the day counts from zero in memory, and what it
// counted is added to the row at the first moment it reads (a count, the next
// day's move, the end).
int Config::moveDay(const QDate &date)
{
    const bool sameDay = date == m_today && date == m_dayRecord.date;
    if (sameDay && !m_dayRowUnread)
        return 0;
    WorkDataRecord next;
    DbConfig::RowRead read = DbConfig::RowRead::Found;
    if (sameDay) {
        if (!readUnreadDayRow(next))
            return 0;
    } else {
        if (m_dayRowUnread)
            settleUnreadDay("Config::moveDay");
        read = m_db->readWorkData(date, next);
        if (read != DbConfig::RowRead::Found)
            next = WorkDataRecord{};
        if (read == DbConfig::RowRead::Failed)
            qCritical() << "Config::moveDay" << "the row of" << date << "could not be read: it is not written;"
                        << "the day counts from 0 until it can be read";
    }
    m_dayRowUnread = read == DbConfig::RowRead::Failed;
    m_daySetWhileUnread = 0;
    next.date = date;
    int changed = date != m_today ? kDayMoved : 0;
    for (int field = 0; field < FieldCount; ++field)
        if (!sameField(m_dayRecord, next, field))
            changed |= 1 << field;
    m_today = date;
    m_dayRecord = next;
    // The file keeps the day it last held: after a restart the INI keys win
    // over the store, and would write over the row that could not be read.
    if (m_dayRowUnread)
        return changed;
    if (m_settings)
        m_counterSync->mark();
    m_db->updateWorkData(m_dayRecord);
    writeDayKeys();
    return changed;
}

bool Config::readUnreadDayRow(WorkDataRecord &merged) const
{
    WorkDataRecord row;
    const DbConfig::RowRead read = m_db->readWorkData(m_dayRecord.date, row);
    if (read == DbConfig::RowRead::Failed)
        return false;
    if (read == DbConfig::RowRead::Missing)
        row = WorkDataRecord{};
    for (int field = 0; field < FieldCount; ++field) {
        const QVariant counted = fieldValue(m_dayRecord, field);
        if (m_daySetWhileUnread & (1 << field))
            setFieldValue(row, field, counted);
        else if (field <= Print)
            setFieldValue(row, field, fieldValue(row, field).toDouble() + counted.toDouble());
        else
            setFieldValue(row, field, fieldValue(row, field).toUInt() + counted.toUInt());
    }
    row.date = m_dayRecord.date;
    merged = row;
    qInfo() << "Config::moveDay" << "the row of" << row.date << "read again: the" << m_dayRecord.copies
            << "copies counted meanwhile added to it";
    return true;
}

void Config::settleUnreadDay(const char *where)
{
    WorkDataRecord merged;
    bool written = readUnreadDayRow(merged);
    if (written) {
        if (m_settings)
            m_counterSync->mark();
        written = m_db->updateWorkData(merged);
    }
    if (!written) {
        logDayRowNeverRead(where);
        return;
    }
    m_dayRowUnread = false;
    m_daySetWhileUnread = 0;
    m_dayRecord = merged;
}

void Config::writeDayKeys()
{
    if (!m_settings)
        return;
    for (int field = 0; field < FieldCount; ++field)
        m_settings->setValue(counterKey(false, field), fieldValue(m_dayRecord, field));
    m_settings->setValue(kTodayKey, m_today.toString(Qt::ISODate));
    syncSettings();
}

void Config::logDayRowNeverRead(const char *where) const
{
    // Nothing counted and nothing set: nothing is lost.
    const WorkDataRecord nothing{m_dayRecord.date};
    if (m_dayRecord == nothing && !m_daySetWhileUnread)
        return;
    qCritical() << where << "the row of" << m_dayRecord.date << "was never read; counted that day and not in its row:"
                << "copies" << m_dayRecord.copies << "cut" << m_dayRecord.cutLen << "print" << m_dayRecord.printLen
                << "scan marks" << m_dayRecord.scanMark << m_dayRecord.scanMarkOk;
}

void Config::emitDayMoved(int changed)
{
    if (changed & kDayMoved)
        emit todayChanged();
    for (int field : {Copies, Cut, Print, ScanMark, ScanMarkOk})
        if (changed & (1 << field))
            emitCounterSignal(false, field);
}

WorkDataRecord Config::dayRecord() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_dayRecord;
}

WorkDataRecord Config::totalRecord() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_totalRecord;
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
