#pragma once

#include "settings/db_records.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class QSqlDatabase;

// The statistics store "config.db": daily totals (t_work_data), and per month
// a table of work records and one of task records, named by the month index
// t_task_work_tab.
//
// Counters and records are written from the GUI, task, poll and collect
// threads. A Qt SQL connection belongs to the thread that made it, so each
// thread gets its own connection to the file, made on first use and removed
// when the thread ends; SQLite serialises the writers. Every value reaches
// SQL as a bound value, never spliced into the statement text.
class DbConfig
{
public:
    // path: the database file; the program uses "config.db" in the working
    // directory.
    explicit DbConfig(const QString &path = QStringLiteral("config.db"));
    ~DbConfig();
    DbConfig(const DbConfig &) = delete;
    DbConfig &operator=(const DbConfig &) = delete;

    QString databasePath() const;
    // The calling thread's connection name ("sqlite1" for the thread that
    // built the object while that name is free).
    QString connectionName() const;
    // How long a statement waits for another writer before it fails.
    void setBusyTimeout(int msecs);
    int busyTimeout() const;
    // The calling thread's connection, opened (not open when the store
    // cannot be opened).
    QSqlDatabase connection();

    bool exec(const QString &sql, const QVariantList &values = {});
    bool select(const QString &sql, QList<QVariantList> &rows, const QVariantList &values = {});

    bool updateWorkData(const WorkDataRecord &record);
    // Several day rows in one transaction: all are stored or none.
    bool updateWorkData(const QList<WorkDataRecord> &records);
    bool selectWorkData(const QDate &date, WorkDataRecord &record);
    // A day's row told apart from its absence: a failed read (a locked or
    // damaged store) is neither.
    enum class RowRead { Found, Missing, Failed };
    RowRead readWorkData(const QDate &date, WorkDataRecord &record);

    bool ensureMonthTables(const QDate &date);
    // mode 0: print count, 1: cut count (an existing row); a new row is
    // inserted whole.
    bool updateWorkRecord(const WorkRecord &record, int mode);
    // mode 0: print copies and time, 1: cut copies and time.
    bool updateTaskRecord(const TaskRecord &record, int mode);
    bool findWorkRecordByTimestamp(const QDateTime &timestamp, WorkRecord &record);
    bool findTaskRecordByCode(quint32 code, TaskRecord &record);
    // The next page code, one above the highest ever handed out; 0 when the
    // store cannot tell.
    quint32 nextCode();
    // Month index rows (month, work table, task table), newest first; a null
    // bound is left out.
    bool selectTaskWorkTab(const QDate &from, const QDate &to, QList<QVariantList> &rows);

    static bool toWorkDataRecord(const QVariantList &row, WorkDataRecord &record);
    static bool toWorkRecord(const QVariantList &row, WorkRecord &record);
    static bool toTaskRecord(const QVariantList &row, TaskRecord &record);

    // A day's key in t_work_data: "yyyy-MM-dd", the empty text for the totals.
    static QString dayKey(const QDate &date);
    // t_work_data's columns by name, so a store a newer program gave a column
    // more still reads, and no statement changes shape under a running one.
    static QString workDataColumns();

    // The statement texts, kept together so tests can hold the schema to them.
    static QString createWorkDataSql();
    static QString createTaskWorkTabSql();
    static QString createWorkRecordSql(const QString &table);
    static QString createTaskRecordSql(const QString &table);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
