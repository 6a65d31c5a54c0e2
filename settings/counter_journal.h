#pragma once

#include "settings/untaken_counts.h"

#include <QDate>
#include <QMap>

class QSettings;

// What rows of t_work_data have not taken yet, kept in config.ini beside the
// counters: a group per row ("Untaken.Total", "Untaken.2026-05-04") with the
// five amounts and the names of the counters set by hand among them. The
// null date stands for the totals' row.
namespace CounterJournal {

// Every group, checked: an amount that is not a count is left out and logged.
QMap<QDate, UntakenCounts> read(QSettings &settings);
void write(QSettings &settings, const QDate &row, const UntakenCounts &owed);
void remove(QSettings &settings, const QDate &row);
// Whether the file on disk holds the counters' sections as settings holds
// them in memory (its status keeps the first error it met, so after one
// failure only the file itself can say what a later sync wrote).
bool onDisk(QSettings &settings);

} // namespace CounterJournal
