#pragma once

#include "settings/owed_row.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class DbConfig;

// One try, bounded in time, to bring rows of t_work_data up to what they
// are owed: each row is read, and one that reads is written as it read with
// what it owes taken in, all in one transaction. Beside each row the store
// keeps its version, one up at every write (past config.ini's when the row
// takes config.ini's keys), and the spells of config.ini it took, written
// with the row or not at all, so a start tells which of config.ini and the
// store is ahead without a file of its own. Nothing here logs: the counters
// say when a row's trouble begins and when it ends.
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
        OwedRow owed;
        // Rows a copy counts in (the totals' and the day's): written all
        // together or none, so no kill leaves a copy's share in one medium
        // and the other's share nowhere.
        bool tied = false;
        Read read = Read::Failed;
        WorkDataRecord stored;
        qint64 version = 0; // of the row as read (0: never written with one)
        // The spells the store took of this row, by id.
        QHash<QString, UntakenCounts> spells;
        // The row once it has taken what it owes; known once it was read.
        WorkDataRecord target;
        bool write = false;
        // The store holds target (written, at owed.nextVersion(version)).
        bool taken = false;
        QString error;

        bool wasRead() const { return read == Read::Found || read == Read::Missing; }
    };
    // Records of spells no config.ini holds any more: (row, id).
    using Spent = QList<QPair<QDate, QString>>;

    explicit CounterStore(DbConfig &db);

    // How long the store keeps a spell's record once no config.ini holds it.
    static constexpr qint64 kKeepSpentSecs = 7 * 86400;

    // Returns false when another writer held the store (every row then Held).
    // spent is marked so at now in the same transaction (and emptied when it
    // was); records spent a week before now are deleted. Each commit is on
    // disk before it returns.
    bool attempt(QList<Row> &rows, int busyMs, Spent &spent, const QDateTime &now);

private:
    DbConfig &m_db;
    bool m_tablesMade = false;
};
