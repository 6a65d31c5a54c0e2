#pragma once

#include "settings/db_records.h"

#include <QString>
#include <QVariant>

// The five counters of a row of t_work_data, by number, with their INI keys
// and the bits that tell which of the shown counters changed.
namespace counters {

enum Field { Cut, Print, Copies, ScanMark, ScanMarkOk, FieldCount };
constexpr int kAllFields = (1 << FieldCount) - 1;

// What changed, to be told: a bit per day counter, one for the day itself,
// a bit per total.
constexpr int kDayMoved = 1 << FieldCount;
constexpr int fieldBit(bool total, int field)
{
    return 1 << (total ? FieldCount + 1 + field : field);
}

QVariant fieldValue(const WorkDataRecord &r, int field);
void setFieldValue(WorkDataRecord &r, int field, const QVariant &v);
// Lengths as doubles, compared exactly (a relative compare would swallow one
// copy's length once the total is large), counts as 32 bits.
QVariant typed(int field, const QVariant &v);
bool sameField(const WorkDataRecord &a, const WorkDataRecord &b, int field);
// The bits of the counters that differ between two records of one row.
int changedFields(const WorkDataRecord &before, const WorkDataRecord &after, bool total);
// "Total/Copies", "Today/Cut" and their kin.
QString key(bool total, int field);
// "Cut", "Copies": the key's name within its section.
QString keyName(int field);
// The counters as a log line shows them: "copies 3, cut 0.75, ...".
QString describe(const WorkDataRecord &r, int setByHand = 0);
// "the totals' row", "the row of 2026-05-04".
QString rowName(const QDate &row);

} // namespace counters
