#pragma once

#include "settings/untaken_counts.h"

#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>

// Copies and sets under one name, kept in config.ini until a row takes them:
// its amounts only grow while it is owed, so the store, which records the
// spells it took (and how much of each), tells any state of it in any
// config.ini apart as taken or not. The id is given once it is written out.
struct CounterSpell
{
    QString id;
    UntakenCounts counts;
};

// Everything a row of t_work_data is owed, as the counters keep it until the
// row reads and takes it.
struct OwedRow
{
    // config.ini's keys at the start, with the row's version of the store
    // when they were written: the row is to hold them, unless the store has
    // written it since (a later version). At the same version they were a
    // copy of the row, which wins (a file cut short holds less). Kept for a
    // day left before its row was read, in its group.
    bool hasBase = false;
    qint64 baseVersion = 0;
    // Keys without a version (an older program's): they win over a row no
    // run of ours has written (version 0).
    bool baseUnversioned = false;
    UntakenCounts base;
    // Groups config.ini held at the start, not yet held to the store's record.
    QList<CounterSpell> carried;
    // What this run counted and set since the row last took what it owed.
    CounterSpell fresh;

    // What the row is to hold once it took everything: stored is the row as
    // read, version its version, taken the spells the store took of it.
    WorkDataRecord target(const WorkDataRecord &stored, qint64 version,
                          const QHash<QString, UntakenCounts> &taken) const
    {
        WorkDataRecord value = stored;
        if (baseHolds(version)) {
            // The keys were the row and every group then.
            value = base.takenBy(stored);
        } else {
            for (const CounterSpell &spell : carried)
                value = spell.counts.minus(taken.value(spell.id)).takenBy(value);
        }
        value = fresh.counts.takenBy(value);
        value.date = stored.date;
        return value;
    }
    bool baseHolds(qint64 version) const
    {
        return hasBase && (version < baseVersion || (baseUnversioned && version == 0));
    }
    // The version a write gives the row: past the keys' when it takes them,
    // so no number ever names two states of the row.
    qint64 nextVersion(qint64 version) const { return std::max(version, baseHolds(version) ? baseVersion : 0) + 1; }
    // Whether taking it may change the row at all (a row still to be read
    // owes nothing and is owed only its reading).
    bool owes() const
    {
        if (hasBase || fresh.counts.owes())
            return true;
        for (const CounterSpell &spell : carried)
            if (spell.counts.owes())
                return true;
        return false;
    }
    // The spells as one group: what an older reader of config.ini adds.
    UntakenCounts sum() const
    {
        UntakenCounts all;
        all.amounts.date = fresh.counts.amounts.date;
        for (const CounterSpell &spell : carried)
            all = all.then(spell.counts);
        return all.then(fresh.counts);
    }
};
