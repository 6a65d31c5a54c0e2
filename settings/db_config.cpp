#include "settings/db_config.h"

#include "settings/wal_checkpointer.h"

#include <QDebug>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QScopeGuard>
#include <QThread>

#include <atomic>
#include <mutex>

namespace {

const QString kBaseName = QStringLiteral("sqlite1");

// What the connections of one DbConfig share with the threads that made them.
struct Connections
{
    std::mutex mutex;
    bool alive = true;
    QString path;
    QString ownerName;
    Qt::HANDLE owner = nullptr;
    int busyTimeout = 1000;
    QHash<Qt::HANDLE, QString> names;
};

void dropConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Removes the connections a thread made when the thread ends, so a finished
// worker leaves no open handle behind.
struct ThreadConnections
{
    struct Entry
    {
        std::weak_ptr<Connections> owner;
        Qt::HANDLE thread;
        QString name;
    };
    QList<Entry> entries;
    ~ThreadConnections()
    {
        for (const Entry &e : std::as_const(entries)) {
            const std::shared_ptr<Connections> c = e.owner.lock();
            if (!c)
                continue;
            std::lock_guard<std::mutex> lock(c->mutex);
            if (!c->alive || c->names.value(e.thread) != e.name)
                continue;
            c->names.remove(e.thread);
            dropConnection(e.name);
        }
    }
};
thread_local ThreadConnections t_connections;

std::atomic<int> g_serial{0};

QString dayText(const QDate &date)
{
    return DbConfig::dayKey(date);
}

const QString kWorkRecordColumns =
    QStringLiteral("timestamp, cut_file, cut_cnt, print_file, print_cnt, dataSourceFile, check_cnt");
const QString kTaskRecordColumns = QStringLiteral(
    "timestamp, work_record_timestamp, code, dataIndex, printCopies, printTime, cutCopies, cutTime, checkCopies, "
    "checkTime");

// How long the opening statements wait for a store another program holds:
// the start and a count on a new thread go on without the store, not wait.
constexpr int kOpeningBusyMs = 50;

QString text(const QString &s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

qint64 msecs(const QDateTime &t)
{
    return t.isValid() ? t.toMSecsSinceEpoch() : 0;
}

QDateTime fromMsecs(const QVariant &v)
{
    const qint64 ms = v.toLongLong();
    return ms == 0 ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms);
}

// Table names cannot be bound; only names of our own month pattern are ever
// spliced into a statement, whatever the month index holds.
bool isMonthTable(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^t_(work|task)_record_\\d{4}_\\d{2}$"));
    return pattern.match(name).hasMatch();
}

QString createSql(const QString &table, const QStringList &columns)
{
    QString sql = QStringLiteral("CREATE TABLE IF NOT EXISTS %1(").arg(table);
    for (int i = 0; i < columns.size(); ++i)
        sql += QStringLiteral(" \n    ") + columns.at(i) + (i + 1 < columns.size() ? QStringLiteral(",") : QString());
    return sql + QStringLiteral("\n)");
}

} // namespace

// One row of a month table to store: the whole row, and per mode the SET
// clause and its values.
struct MonthRow
{
    const char *caller;
    const char *nullText;
    QString prefix;
    QString columns;
    QDateTime timestamp;
    QVariantList values;
    QString updateSet[2];
    QVariantList updateValues[2];
};

struct DbConfig::Private
{
    std::shared_ptr<Connections> connections = std::make_shared<Connections>();
    std::recursive_mutex lock; // upserts, the month cache and lastCode
    QString workTable;
    QString taskTable;
    quint32 lastCode = 0;
    std::unique_ptr<WalCheckpointer> checkpointer;
    // The last connection opened found the store locked by another writer.
    bool lockedAtOpen = false;

    // The calling thread's connection, opened; invalid or closed on failure.
    QSqlDatabase database(bool logOpenFailure = false);
    bool upsertMonthRow(DbConfig &db, const MonthRow &row, int mode);
    bool findInMonths(DbConfig &db, int tableColumn, const QString &columns, const QString &where,
                      const QVariant &value, QVariantList &row);
};

QSqlDatabase DbConfig::Private::database(bool logOpenFailure)
{
    const Qt::HANDLE thread = QThread::currentThreadId();
    QString name;
    QSqlDatabase db;
    {
        std::lock_guard<std::mutex> lock(connections->mutex);
        name = connections->names.value(thread);
        if (name.isEmpty()) {
            name = thread == connections->owner ? connections->ownerName
                                                : connections->ownerName + QLatin1Char('@')
                    + QString::number(quintptr(thread), 16);
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(connections->path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(connections->busyTimeout));
            connections->names.insert(thread, name);
            t_connections.entries.append({connections, thread, name});
        } else {
            db = QSqlDatabase::database(name, false);
        }
    }
    if (db.isOpen())
        return db;
    if (!db.open()) {
        if (logOpenFailure)
            qCritical() << "DbConfig::DbConfig" << "open failed" << connections->path << db.lastError().text();
        return db;
    }
    // Commits append to the write-ahead log without waiting for the disk; a
    // killed process loses nothing committed, and readers never block writers.
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kOpeningBusyMs));
    lockedAtOpen = !pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        && pragma.lastError().nativeErrorCode() == QLatin1String("5");
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // The log is moved into the file off the writers' path (WalCheckpointer).
    pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
    int busy = 0;
    {
        std::lock_guard<std::mutex> lock(connections->mutex);
        busy = connections->busyTimeout;
    }
    pragma.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busy));
    return db;
}

DbConfig::DbConfig(const QString &path)
    : d(std::make_unique<Private>())
{
    d->connections->path = path;
    d->connections->owner = QThread::currentThreadId();
    d->connections->ownerName = QSqlDatabase::contains(kBaseName)
        ? kBaseName + QLatin1Char('#') + QString::number(++g_serial)
        : kBaseName;

    QSqlDatabase db = d->database(true);
    if (!db.isOpen())
        return;
    d->checkpointer = std::make_unique<WalCheckpointer>(path);
    // A store another program holds is not waited for here: the counters
    // keep what it cannot take, and the month tables are made when needed.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kOpeningBusyMs));
    const auto restore = qScopeGuard([&] {
        QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeout()));
    });
    if (d->lockedAtOpen || !exec(createWorkDataSql()) || !exec(createTaskWorkTabSql())) {
        qCritical() << "DbConfig::DbConfig" << path
                    << "is locked, read-only or damaged - production statistics are not stored";
        return;
    }
    // Month tables of earlier versions may lack the index the page-code
    // look-up relies on.
    QList<QVariantList> months;
    if (selectTaskWorkTab(QDate(), QDate(), months)) {
        for (const QVariantList &row : std::as_const(months)) {
            const QString task = row.value(2).toString();
            if (isMonthTable(task))
                exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_code ON %1(code)").arg(task));
        }
    }
}

DbConfig::~DbConfig()
{
    d->checkpointer.reset();
    std::lock_guard<std::mutex> lock(d->connections->mutex);
    d->connections->alive = false;
    for (const QString &name : std::as_const(d->connections->names))
        dropConnection(name);
    d->connections->names.clear();
}

QString DbConfig::databasePath() const
{
    return d->connections->path;
}

int DbConfig::busyTimeout() const
{
    std::lock_guard<std::mutex> lock(d->connections->mutex);
    return d->connections->busyTimeout;
}

QSqlDatabase DbConfig::connection()
{
    return d->database();
}

QString DbConfig::dayKey(const QDate &date)
{
    // The totals row has the empty text as its date, not NULL.
    return date.isNull() ? QStringLiteral("") : date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString DbConfig::workDataColumns()
{
    return QStringLiteral("date, cut_len, print_len, _copies, scan_mark, scan_mark_ok");
}

QString DbConfig::connectionName() const
{
    d->database();
    std::lock_guard<std::mutex> lock(d->connections->mutex);
    return d->connections->names.value(QThread::currentThreadId());
}

void DbConfig::setBusyTimeout(int msecs)
{
    std::lock_guard<std::mutex> lock(d->connections->mutex);
    d->connections->busyTimeout = msecs;
    // Connections made from now on use it; the existing ones are remade.
    for (const QString &name : std::as_const(d->connections->names)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!db.isValid())
            continue;
        db.close();
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(msecs));
    }
}

bool DbConfig::exec(const QString &sql, const QVariantList &values)
{
    QSqlDatabase db = d->database();
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (!query.prepare(sql) || ([&] {
            for (const QVariant &v : values)
                query.addBindValue(v);
            return !query.exec();
        }())) {
        qCritical() << "DbConfig::exec" << sql << values << " failed" << query.lastError().text();
        return false;
    }
    return true;
}

bool DbConfig::select(const QString &sql, QList<QVariantList> &rows, const QVariantList &values)
{
    QSqlDatabase db = d->database();
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql) || ([&] {
            for (const QVariant &v : values)
                query.addBindValue(v);
            return !query.exec();
        }())) {
        qCritical() << "DbConfig::select" << sql << values << " failed" << query.lastError().text();
        return false;
    }
    while (query.next()) {
        const int columns = query.record().count();
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.append(query.value(i));
        rows.append(row);
    }
    return true;
}

QString DbConfig::createWorkDataSql()
{
    return createSql(QStringLiteral("t_work_data"),
                     {QStringLiteral("date DATE PRIMARY KEY"), QStringLiteral("cut_len REAL"),
                      QStringLiteral("print_len REAL"), QStringLiteral("_copies INTEGER"),
                      QStringLiteral("scan_mark INTEGER"), QStringLiteral("scan_mark_ok INTEGER")});
}

QString DbConfig::createTaskWorkTabSql()
{
    return createSql(QStringLiteral("t_task_work_tab"),
                     {QStringLiteral("date DATE PRIMARY KEY NOT NULL"), QStringLiteral("work_tab_name TEXT NOT NULL"),
                      QStringLiteral("task_tab_name TEXT NOT NULL")});
}

QString DbConfig::createWorkRecordSql(const QString &table)
{
    return createSql(table, {QStringLiteral("timestamp INTEGER PRIMARY KEY NOT NULL"), QStringLiteral("cut_file TEXT"),
                             QStringLiteral("cut_cnt INTEGER"), QStringLiteral("print_file TEXT"),
                             QStringLiteral("print_cnt INTEGER"), QStringLiteral("dataSourceFile TEXT"),
                             QStringLiteral("check_cnt INTEGER")});
}

QString DbConfig::createTaskRecordSql(const QString &table)
{
    return createSql(table, {QStringLiteral("timestamp INTEGER PRIMARY KEY NOT NULL"),
                             QStringLiteral("work_record_timestamp INTEGER"), QStringLiteral("code INTEGER"),
                             QStringLiteral("dataIndex INTEGER"), QStringLiteral("printCopies INTEGER"),
                             QStringLiteral("printTime INTEGER"), QStringLiteral("cutCopies INTEGER"),
                             QStringLiteral("cutTime INTEGER"), QStringLiteral("checkCopies INTEGER"),
                             QStringLiteral("checkTime INTEGER")});
}

bool DbConfig::updateWorkData(const WorkDataRecord &record)
{
    std::lock_guard<std::recursive_mutex> lock(d->lock);
    const QString day = dayText(record.date);
    QList<QVariantList> rows;
    if (!select(QStringLiteral("SELECT date FROM t_work_data WHERE date = ?"), rows, {day}))
        return false;
    if (rows.isEmpty())
        return exec(QStringLiteral("INSERT INTO t_work_data(%1) VALUES(?, ?, ?, ?, ?, ?)").arg(workDataColumns()),
                    {day, record.cutLen, record.printLen, record.copies, record.scanMark, record.scanMarkOk});
    return exec(QStringLiteral("UPDATE t_work_data set cut_len = ?, print_len = ?, _copies = ?, scan_mark = ?, "
                               "scan_mark_ok = ? WHERE date = ?"),
                {record.cutLen, record.printLen, record.copies, record.scanMark, record.scanMarkOk, day});
}

bool DbConfig::updateWorkData(const QList<WorkDataRecord> &records)
{
    std::lock_guard<std::recursive_mutex> lock(d->lock);
    QSqlDatabase db = d->database();
    if (!db.isOpen())
        return false;
    if (!db.transaction()) {
        qCritical() << "DbConfig::updateWorkData" << "cannot begin" << db.lastError().text();
        return false;
    }
    for (const WorkDataRecord &r : records) {
        if (!updateWorkData(r)) {
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        qCritical() << "DbConfig::updateWorkData" << "commit failed" << db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

bool DbConfig::selectWorkData(const QDate &date, WorkDataRecord &record)
{
    return readWorkData(date, record) == RowRead::Found;
}

DbConfig::RowRead DbConfig::readWorkData(const QDate &date, WorkDataRecord &record)
{
    QList<QVariantList> rows;
    if (!select(QStringLiteral("SELECT %1 FROM t_work_data WHERE date = ?").arg(workDataColumns()), rows,
                {dayText(date)}))
        return RowRead::Failed;
    if (rows.isEmpty())
        return RowRead::Missing;
    return toWorkDataRecord(rows.first(), record) ? RowRead::Found : RowRead::Failed;
}

bool DbConfig::ensureMonthTables(const QDate &date)
{
    if (!date.isValid())
        return false;
    std::lock_guard<std::recursive_mutex> lock(d->lock);
    const QString month = date.toString(QStringLiteral("yyyy_MM"));
    const QString work = QStringLiteral("t_work_record_%1").arg(month);
    const QString task = QStringLiteral("t_task_record_%1").arg(month);
    if (work == d->workTable && task == d->taskTable)
        return true;
    if (!exec(createWorkRecordSql(work)) || !exec(createTaskRecordSql(task))
        || !exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_code ON %1(code)").arg(task))
        || !exec(QStringLiteral("INSERT OR IGNORE INTO t_task_work_tab(date, work_tab_name, task_tab_name) "
                                "VALUES(?, ?, ?)"),
                 {month, work, task}))
        return false;
    d->workTable = work;
    d->taskTable = task;
    return true;
}

// A new key inserts the whole row; an existing one updates the columns of
// the mode (0 print, 1 cut). A null timestamp has no month: it is refused
// before any table is made for it.
bool DbConfig::Private::upsertMonthRow(DbConfig &db, const MonthRow &row, int mode)
{
    if (row.timestamp.isNull()) {
        qCritical() << row.caller << row.nullText;
        return false;
    }
    if (mode != 0 && mode != 1)
        return false;
    std::lock_guard<std::recursive_mutex> locker(lock);
    const QDate date = row.timestamp.date();
    if (!db.ensureMonthTables(date))
        return false;
    const QString table = row.prefix + date.toString(QStringLiteral("yyyy_MM"));
    const qint64 key = msecs(row.timestamp);
    QList<QVariantList> rows;
    if (!db.select(QStringLiteral("SELECT timestamp FROM %1 WHERE timestamp = ?").arg(table), rows, {key}))
        return false;
    if (rows.isEmpty()) {
        QStringList marks;
        for (qsizetype i = 0; i < row.values.size(); ++i)
            marks.append(QStringLiteral("?"));
        return db.exec(QStringLiteral("INSERT INTO %1(%2) VALUES(%3)").arg(table, row.columns,
                                                                           marks.join(QStringLiteral(", "))),
                       row.values);
    }
    return db.exec(QStringLiteral("UPDATE %1 set %2 WHERE timestamp = ?").arg(table, row.updateSet[mode]),
                   row.updateValues[mode] + QVariantList{key});
}

bool DbConfig::updateWorkRecord(const WorkRecord &record, int mode)
{
    return d->upsertMonthRow(
        *this,
        {"DbConfig::updateWorkRecord", "timestamp is NULL", QStringLiteral("t_work_record_"), kWorkRecordColumns,
         record.timestamp,
         {msecs(record.timestamp), text(record.cutFile), record.cutCnt, text(record.printFile), record.printCnt,
          text(record.dataSourceFile), record.checkCnt},
         {QStringLiteral("print_cnt = ?"), QStringLiteral("cut_cnt = ?")},
         {{record.printCnt}, {record.cutCnt}}},
        mode);
}

bool DbConfig::updateTaskRecord(const TaskRecord &record, int mode)
{
    return d->upsertMonthRow(
        *this,
        {"DbConfig::updateTaskRecord", "Timestamp is NULL", QStringLiteral("t_task_record_"), kTaskRecordColumns,
         record.timestamp,
         {msecs(record.timestamp), msecs(record.workRecordTimestamp), record.code, record.dataIndex,
          record.printCopies, msecs(record.printTime), record.cutCopies, msecs(record.cutTime), record.checkCopies,
          msecs(record.checkTime)},
         {QStringLiteral("printCopies = ?, printTime = ?"), QStringLiteral("cutCopies = ?, cutTime = ?")},
         {{record.printCopies, msecs(record.printTime)}, {record.cutCopies, msecs(record.cutTime)}}},
        mode);
}

bool DbConfig::selectTaskWorkTab(const QDate &from, const QDate &to, QList<QVariantList> &rows)
{
    rows.clear();
    const QString format = QStringLiteral("yyyy_MM");
    QString clause;
    QVariantList values;
    if (from.isValid() && to.isValid()) {
        clause = QStringLiteral(" WHERE date >= ? and date <= ? ");
        values = {from.toString(format), to.toString(format)};
    } else if (from.isValid()) {
        clause = QStringLiteral(" WHERE date >= ? ");
        values = {from.toString(format)};
    } else if (to.isValid()) {
        clause = QStringLiteral(" WHERE date <= ? ");
        values = {to.toString(format)};
    }
    if (!select(QStringLiteral("SELECT date, work_tab_name, task_tab_name FROM t_task_work_tab ") + clause
                    + QStringLiteral("ORDER BY date DESC"),
                rows,
                values)) {
        rows.clear();
        return false;
    }
    return true;
}

// Months newest first; the first month with a row ends the search.
bool DbConfig::Private::findInMonths(DbConfig &db, int tableColumn, const QString &columns, const QString &where,
                                     const QVariant &value, QVariantList &row)
{
    QList<QVariantList> months;
    if (!db.selectTaskWorkTab(QDate(), QDate(), months))
        return false;
    for (const QVariantList &month : std::as_const(months)) {
        const QString table = month.value(tableColumn).toString();
        if (!isMonthTable(table))
            continue;
        QList<QVariantList> rows;
        if (db.select(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(columns, table, where), rows, {value})
            && !rows.isEmpty()) {
            row = rows.first();
            return true;
        }
    }
    return false;
}

bool DbConfig::findWorkRecordByTimestamp(const QDateTime &timestamp, WorkRecord &record)
{
    QVariantList row;
    return timestamp.isValid()
        && d->findInMonths(*this, 1, kWorkRecordColumns, QStringLiteral("timestamp"), msecs(timestamp), row)
        && toWorkRecord(row, record);
}

bool DbConfig::findTaskRecordByCode(quint32 code, TaskRecord &record)
{
    QVariantList row;
    return d->findInMonths(*this, 2, kTaskRecordColumns, QStringLiteral("code"), code, row) && toTaskRecord(row, record);
}

quint32 DbConfig::nextCode()
{
    std::lock_guard<std::recursive_mutex> lock(d->lock);
    if (d->lastCode != 0)
        return ++d->lastCode;
    QList<QVariantList> months;
    if (!selectTaskWorkTab(QDate(), QDate(), months))
        return 0;
    // The highest code of every month, not only the newest: a month whose
    // tables were made before its first page would otherwise start again at 1
    // and hand out codes that older pages already carry.
    quint32 highest = 0;
    for (const QVariantList &month : std::as_const(months)) {
        if (month.size() < 3)
            continue;
        const QString table = month.at(2).toString();
        if (!isMonthTable(table)) {
            qCritical() << "DbConfig::nextCode" << "not a month table:" << table;
            return 0;
        }
        QList<QVariantList> rows;
        if (!select(QStringLiteral("SELECT MAX(code) FROM %1").arg(table), rows))
            return 0;
        if (!rows.isEmpty())
            highest = qMax(highest, quint32(rows.first().value(0).toLongLong()));
    }
    d->lastCode = highest;
    return ++d->lastCode;
}

bool DbConfig::toWorkDataRecord(const QVariantList &row, WorkDataRecord &record)
{
    if (row.size() != 6)
        return false;
    record.date = QDate::fromString(row.at(0).toString(), QStringLiteral("yyyy-MM-dd"));
    record.cutLen = row.at(1).toDouble();
    record.printLen = row.at(2).toDouble();
    record.copies = quint32(row.at(3).toLongLong());
    record.scanMark = quint32(row.at(4).toLongLong());
    record.scanMarkOk = quint32(row.at(5).toLongLong());
    return true;
}

bool DbConfig::toWorkRecord(const QVariantList &row, WorkRecord &record)
{
    if (row.size() != 7)
        return false;
    record.timestamp = fromMsecs(row.at(0));
    record.cutFile = row.at(1).toString();
    record.cutCnt = quint32(row.at(2).toLongLong());
    record.printFile = row.at(3).toString();
    record.printCnt = quint32(row.at(4).toLongLong());
    record.dataSourceFile = row.at(5).toString();
    record.checkCnt = quint32(row.at(6).toLongLong());
    return true;
}

bool DbConfig::toTaskRecord(const QVariantList &row, TaskRecord &record)
{
    if (row.size() != 10)
        return false;
    record.timestamp = fromMsecs(row.at(0));
    record.workRecordTimestamp = fromMsecs(row.at(1));
    record.code = quint32(row.at(2).toLongLong());
    record.dataIndex = qint32(row.at(3).toLongLong());
    record.printCopies = quint32(row.at(4).toLongLong());
    record.printTime = fromMsecs(row.at(5));
    record.cutCopies = quint32(row.at(6).toLongLong());
    record.cutTime = fromMsecs(row.at(7));
    record.checkCopies = quint32(row.at(8).toLongLong());
    record.checkTime = fromMsecs(row.at(9));
    return true;
}
