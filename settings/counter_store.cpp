#include "settings/counter_store.h"

#include "settings/db_config.h"

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

bool isBusy(const QSqlError &error)
{
    // SQLITE_BUSY, SQLITE_LOCKED
    return error.nativeErrorCode() == QLatin1String("5") || error.nativeErrorCode() == QLatin1String("6");
}

CounterStore::Read readRow(const QSqlDatabase &db, CounterStore::Row &row)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM t_work_data WHERE date = ?").arg(DbConfig::workDataColumns()))) {
        row.error = q.lastError().text();
        return isBusy(q.lastError()) ? CounterStore::Read::Held : CounterStore::Read::Failed;
    }
    q.addBindValue(DbConfig::dayKey(row.date));
    if (!q.exec() || (!q.next() && q.lastError().isValid())) {
        row.error = q.lastError().text();
        return isBusy(q.lastError()) ? CounterStore::Read::Held : CounterStore::Read::Failed;
    }
    row.stored = WorkDataRecord{row.date};
    if (!q.isValid())
        return CounterStore::Read::Missing;
    QVariantList values;
    for (int i = 0; i < 6; ++i)
        values << q.value(i);
    if (!DbConfig::toWorkDataRecord(values, row.stored)) {
        row.error = QStringLiteral("not a row of counters");
        return CounterStore::Read::Failed;
    }
    row.stored.date = row.date;
    return CounterStore::Read::Found;
}

bool writeRow(const QSqlDatabase &db, CounterStore::Row &row)
{
    const WorkDataRecord &r = row.target;
    QSqlQuery q(db);
    const QString sql = row.read == CounterStore::Read::Found
        ? QStringLiteral("UPDATE t_work_data set cut_len = ?, print_len = ?, _copies = ?, scan_mark = ?, "
                         "scan_mark_ok = ? WHERE date = ?")
        : QStringLiteral("INSERT INTO t_work_data(cut_len, print_len, _copies, scan_mark, scan_mark_ok, date) "
                         "VALUES(?, ?, ?, ?, ?, ?)");
    bool ok = q.prepare(sql);
    for (const QVariant &v : QVariantList{r.cutLen, r.printLen, r.copies, r.scanMark, r.scanMarkOk,
                                          DbConfig::dayKey(row.date)})
        q.addBindValue(v);
    ok = ok && q.exec();
    if (!ok)
        row.error = q.lastError().text();
    return ok;
}

} // namespace

CounterStore::CounterStore(DbConfig &db)
    : m_db(db)
{
}

bool CounterStore::attempt(QList<Row> &rows, int busyMs, const std::function<void(QList<Row> &)> &beforeCommit)
{
    QSqlDatabase db = m_db.connection();
    if (!db.isOpen()) {
        for (Row &row : rows)
            row.read = Read::Failed, row.error = db.lastError().text();
        return true;
    }
    QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busyMs));
    const auto restore = qScopeGuard(
        [&] { QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(m_db.busyTimeout())); });
    // The write lock first, so nothing past it waits for another writer.
    QSqlQuery begin(db);
    const bool inTransaction = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
    begin.finish();
    if (!inTransaction && isBusy(begin.lastError())) {
        for (Row &row : rows)
            row.read = Read::Held, row.error = begin.lastError().text();
        return false;
    }
    for (Row &row : rows) {
        row.read = readRow(db, row);
        if (!row.wasRead())
            continue;
        row.target = row.owed.takenBy(row.stored);
        row.target.date = row.date;
        // A new day's row is written even when it owes nothing, as a day begins.
        row.write = inTransaction && (row.read == Read::Missing || !(row.target == row.stored));
        row.taken = !row.write && (row.target == row.stored || !inTransaction && !row.owed.owes());
        if (!inTransaction && !row.taken)
            row.error = begin.lastError().text();
    }
    if (!inTransaction)
        return true;
    beforeCommit(rows);
    for (Row &row : rows) {
        if (!row.write)
            continue;
        row.taken = writeRow(db, row);
        // Nothing owed: a day's row not written is the same as one of zeros.
        row.taken = row.taken || !row.owed.owes();
    }
    QSqlQuery commit(db);
    if (commit.exec(QStringLiteral("COMMIT")))
        return true;
    const QString error = commit.lastError().text();
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    for (Row &row : rows) {
        if (row.write && row.owed.owes())
            row.taken = false, row.error = error;
    }
    return true;
}
