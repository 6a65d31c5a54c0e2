#include "settings/counter_store.h"

#include "settings/db_config.h"

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kCountColumns = QStringLiteral("cut_len, print_len, _copies, scan_mark, scan_mark_ok");

bool isBusy(const QSqlError &error)
{
    // SQLITE_BUSY, SQLITE_LOCKED
    return error.nativeErrorCode() == QLatin1String("5") || error.nativeErrorCode() == QLatin1String("6");
}

// A failed statement's reason, never empty.
QString reason(const QSqlQuery &q, const char *what)
{
    const QString text = q.lastError().text().trimmed();
    return text.isEmpty() ? QString::fromLatin1(what) + QStringLiteral(" failed") : text;
}

bool run(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {}, QString *error = nullptr)
{
    QSqlQuery q(db);
    bool ok = q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    ok = ok && q.exec();
    if (!ok && error)
        *error = reason(q, "a statement");
    return ok;
}

CounterStore::Read failed(CounterStore::Row &row, const QSqlQuery &q)
{
    row.error = reason(q, "reading the row");
    return isBusy(q.lastError()) ? CounterStore::Read::Held : CounterStore::Read::Failed;
}

CounterStore::Read readRow(const QSqlDatabase &db, CounterStore::Row &row)
{
    const QString day = DbConfig::dayKey(row.date);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM t_work_data WHERE date = ?").arg(DbConfig::workDataColumns())))
        return failed(row, q);
    q.addBindValue(day);
    if (!q.exec() || (!q.next() && q.lastError().isValid()))
        return failed(row, q);
    row.stored = WorkDataRecord{row.date};
    const bool found = q.isValid();
    if (found) {
        QVariantList values;
        for (int i = 0; i < 6; ++i)
            values << q.value(i);
        if (!DbConfig::toWorkDataRecord(values, row.stored)) {
            row.error = QStringLiteral("not a row of counters");
            return CounterStore::Read::Failed;
        }
        row.stored.date = row.date;
    }
    QSqlQuery v(db);
    v.setForwardOnly(true);
    if (!v.prepare(QStringLiteral("SELECT version FROM t_work_data_version WHERE date = ?")))
        return failed(row, v);
    v.addBindValue(day);
    if (!v.exec() || (!v.next() && v.lastError().isValid()))
        return failed(row, v);
    row.version = v.isValid() ? v.value(0).toLongLong() : 0;
    QSqlQuery s(db);
    s.setForwardOnly(true);
    if (!s.prepare(QStringLiteral("SELECT spell, %1, set_by_hand FROM t_work_data_taken WHERE date = ?")
                       .arg(kCountColumns)))
        return failed(row, s);
    s.addBindValue(day);
    if (!s.exec())
        return failed(row, s);
    row.spells.clear();
    while (s.next()) {
        UntakenCounts taken;
        taken.amounts.date = row.date;
        for (int field = 0; field < counters::FieldCount; ++field)
            counters::setFieldValue(taken.amounts, field, counters::typed(field, s.value(1 + field)));
        taken.setByHand = s.value(6).toInt() & counters::kAllFields;
        row.spells.insert(s.value(0).toString(), taken);
    }
    if (s.lastError().isValid())
        return failed(row, s);
    return found ? CounterStore::Read::Found : CounterStore::Read::Missing;
}

// The row, its new version and the spells it took, or nothing of them.
bool writeRow(const QSqlDatabase &db, CounterStore::Row &row)
{
    const WorkDataRecord &r = row.target;
    const QString day = DbConfig::dayKey(row.date);
    QString error;
    bool ok = run(db, QStringLiteral("SAVEPOINT counter_row"), {}, &error);
    ok = ok
        && run(db,
               row.read == CounterStore::Read::Found
                   ? QStringLiteral("UPDATE t_work_data set cut_len = ?, print_len = ?, _copies = ?, scan_mark = ?, "
                                    "scan_mark_ok = ? WHERE date = ?")
                   : QStringLiteral("INSERT INTO t_work_data(cut_len, print_len, _copies, scan_mark, scan_mark_ok, "
                                    "date) VALUES(?, ?, ?, ?, ?, ?)"),
               {r.cutLen, r.printLen, r.copies, r.scanMark, r.scanMarkOk, day}, &error);
    ok = ok
        && run(db, QStringLiteral("INSERT OR REPLACE INTO t_work_data_version(date, version) VALUES(?, ?)"),
               {day, row.owed.nextVersion(row.version)}, &error);
    // A spell config.ini may still hold in an earlier state keeps the most
    // the store ever took of it.
    const auto record = [&](const CounterSpell &spell, bool keepOlder) {
        const WorkDataRecord &a = spell.counts.amounts;
        return spell.id.isEmpty()
            || run(db,
                   QStringLiteral("INSERT OR %1 INTO t_work_data_taken(date, spell, %2, set_by_hand) "
                                  "VALUES(?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(keepOlder ? QStringLiteral("IGNORE") : QStringLiteral("REPLACE"), kCountColumns),
                   {day, spell.id, a.cutLen, a.printLen, a.copies, a.scanMark, a.scanMarkOk, spell.counts.setByHand},
                   &error);
    };
    for (const CounterSpell &spell : std::as_const(row.owed.carried))
        ok = ok && record(spell, true);
    ok = ok && record(row.owed.fresh, false);
    if (ok && run(db, QStringLiteral("RELEASE counter_row"), {}, &error))
        return true;
    run(db, QStringLiteral("ROLLBACK TO counter_row"));
    run(db, QStringLiteral("RELEASE counter_row"));
    row.error = error;
    return false;
}

} // namespace

CounterStore::CounterStore(DbConfig &db)
    : m_db(db)
{
}

bool CounterStore::attempt(QList<Row> &rows, int busyMs, Spent &spent, const QDateTime &now)
{
    QSqlDatabase db = m_db.connection();
    if (!db.isOpen()) {
        const QString error = db.lastError().text().trimmed();
        for (Row &row : rows)
            row.read = Read::Failed, row.error = error.isEmpty() ? QStringLiteral("the store cannot be opened") : error;
        return true;
    }
    run(db, QStringLiteral("PRAGMA busy_timeout=%1").arg(busyMs));
    // A copy returns once the store or config.ini has it on disk: the log is
    // synced at each commit of the counters (the connection's other writes
    // wait for the next checkpoint).
    run(db, QStringLiteral("PRAGMA synchronous=FULL"));
    const auto restore = qScopeGuard([&] {
        run(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
        run(db, QStringLiteral("PRAGMA busy_timeout=%1").arg(m_db.busyTimeout()));
    });
    // The write lock first, so nothing past it waits for another writer.
    QSqlQuery begin(db);
    const bool inTransaction = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
    const QString beginError = inTransaction ? QString() : reason(begin, "taking the store's write lock");
    begin.finish();
    if (!inTransaction && isBusy(begin.lastError())) {
        for (Row &row : rows)
            row.read = Read::Held, row.error = beginError;
        return false;
    }
    if (inTransaction && !m_tablesMade) {
        m_tablesMade = run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS t_work_data_version(date TEXT PRIMARY KEY "
                                              "NOT NULL, version INTEGER NOT NULL)"))
            && run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS t_work_data_taken(date TEXT NOT NULL, spell TEXT "
                                      "NOT NULL, %1, set_by_hand INTEGER, PRIMARY KEY(date, spell))")
                           .arg(QStringLiteral("cut_len REAL, print_len REAL, _copies INTEGER, scan_mark INTEGER, "
                                               "scan_mark_ok INTEGER")));
        // When no config.ini held the spell any more (an older store lacks
        // it; a store that has it refuses it again, harmlessly).
        run(db, QStringLiteral("ALTER TABLE t_work_data_taken ADD COLUMN spent INTEGER"));
    }
    for (Row &row : rows) {
        row.read = readRow(db, row);
        if (!row.wasRead())
            continue;
        row.target = row.owed.target(row.stored, row.version, row.spells);
        // A new day's row is written even when it owes nothing, as a day begins.
        row.write = inTransaction && (row.read == Read::Missing || !(row.target == row.stored));
        row.taken = !row.write && row.target == row.stored;
        if (!inTransaction && !row.taken)
            row.error = beginError;
    }
    if (!inTransaction)
        return true;
    // The tied rows: none is written unless every one can be.
    bool tiedOk = true;
    for (const Row &row : rows)
        tiedOk = tiedOk && (!row.tied || row.wasRead());
    run(db, QStringLiteral("SAVEPOINT counter_tied"));
    for (Row &row : rows)
        if (tiedOk && row.tied && row.write)
            tiedOk = row.taken = writeRow(db, row);
    if (!tiedOk) {
        run(db, QStringLiteral("ROLLBACK TO counter_tied"));
        for (Row &row : rows)
            if (row.tied && row.write) {
                row.taken = false;
                if (row.error.isEmpty())
                    row.error = QStringLiteral("a row its copies also count in cannot take them");
            }
    }
    run(db, QStringLiteral("RELEASE counter_tied"));
    for (Row &row : rows)
        if (row.write && !row.tied)
            row.taken = writeRow(db, row);
    // A config.ini put back from a copy may name a spent spell again: its
    // record is kept a week, so the copy adds nothing twice.
    bool pruned = !spent.isEmpty()
        && run(db, QStringLiteral("DELETE FROM t_work_data_taken WHERE spent < ?"),
               {now.toSecsSinceEpoch() - kKeepSpentSecs});
    for (const auto &[date, id] : std::as_const(spent))
        pruned = pruned
            && run(db, QStringLiteral("UPDATE t_work_data_taken SET spent = ? WHERE date = ? AND spell = ?"),
                   {now.toSecsSinceEpoch(), DbConfig::dayKey(date), id});
    QSqlQuery commit(db);
    if (commit.exec(QStringLiteral("COMMIT"))) {
        if (pruned)
            spent.clear();
        return true;
    }
    const QString error = reason(commit, "the commit");
    run(db, QStringLiteral("ROLLBACK"));
    for (Row &row : rows)
        if (row.write)
            row.taken = false, row.error = error;
    return true;
}
