#pragma once

#include "settings/untaken_counts.h"

#include <QList>
#include <QString>

#include <functional>

class DbConfig;

// One try, bounded in time, to bring rows of t_work_data up to what they
// are owed: each row is read, and one that reads is written as it read with
// what it owes taken in, all in one transaction. Nothing here logs: the
// counters say when a row's trouble begins and when it ends.
class CounterStore
{
public:
    // How long a try waits for another writer to let go of the store. A
    // count waits this long at most, then goes on with what the row owes
    // kept elsewhere; while the store stays locked, later tries do not wait.
    static constexpr int kBusyMs = 50;

    enum class Read { Found, Missing, Failed, Held };
    struct Row
    {
        QDate date; // null: the totals' row
        UntakenCounts owed;
        Read read = Read::Failed;
        WorkDataRecord stored;
        // The row once it has taken what it owes; known once it was read.
        WorkDataRecord target;
        // Whether it is written; a caller's beforeCommit may clear it.
        bool write = false;
        // The store holds target.
        bool taken = false;
        QString error;

        bool wasRead() const { return read == Read::Found || read == Read::Missing; }
    };

    explicit CounterStore(DbConfig &db);

    // beforeCommit sees the rows once read, before any is written. Returns
    // false when another writer held the store (every row then Held).
    bool attempt(QList<Row> &rows, int busyMs, const std::function<void(QList<Row> &)> &beforeCommit);

private:
    DbConfig &m_db;
};
