#pragma once

#include "settings/owed_row.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QVariant>

class QSettings;

// What rows of t_work_data have not taken yet, kept in config.ini beside the
// counters: a group per row ("Untaken.Total", "Untaken.2026-05-04") with the
// five amounts and the names of the counters set by hand among them (what
// the row owes in all), and, named in "Spells", each spell's own amounts
// under its id. A group without spells (from an older program) is one spell
// without an id. A day left before its row was read keeps the keys it
// showed, with their version, under "Base". The null date stands for the
// totals' row.
namespace CounterJournal {

// Every group, checked: an amount that is not a count is left out and logged.
QMap<QDate, OwedRow> read(QSettings &settings);
// The group of a row into the keys of a settings file; withBase: its base
// too (a row config.ini's shown keys no longer name).
void write(QMap<QString, QVariant> &keys, const QDate &row, const OwedRow &owed, bool withBase);
// Whether a key is one of the groups'.
bool isGroupKey(const QString &key);

} // namespace CounterJournal
