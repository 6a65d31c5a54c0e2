#pragma once

#include "settings/counter_fields.h"

// What a row of t_work_data has not taken yet: for each counter an amount to
// add to the row, or, for a counter set by hand, the value the row is to hold
// (copies counted after the set add to it).
struct UntakenCounts
{
    WorkDataRecord amounts;
    int setByHand = 0; // a bit per counter

    void add(const WorkDataRecord &delta)
    {
        amounts.cutLen += delta.cutLen;
        amounts.printLen += delta.printLen;
        amounts.copies += delta.copies;
        amounts.scanMark += delta.scanMark;
        amounts.scanMarkOk += delta.scanMarkOk;
    }
    void set(int field, const QVariant &value)
    {
        counters::setFieldValue(amounts, field, value);
        setByHand |= 1 << field;
    }
    // The row once it has taken this.
    WorkDataRecord takenBy(const WorkDataRecord &row) const
    {
        WorkDataRecord taken = row;
        for (int field = 0; field < counters::FieldCount; ++field) {
            const QVariant own = counters::fieldValue(amounts, field);
            counters::setFieldValue(taken, field,
                                    (setByHand & (1 << field))
                                        ? own
                                        : (field <= counters::Print
                                               ? QVariant(counters::fieldValue(row, field).toDouble() + own.toDouble())
                                               : QVariant(counters::fieldValue(row, field).toUInt() + own.toUInt())));
        }
        return taken;
    }
    // Whether the row would change at all.
    bool owes() const { return setByHand || !(amounts == WorkDataRecord{amounts.date}); }
    // Whether taking it twice would count twice: some counter is added to.
    bool adds() const
    {
        for (int field = 0; field < counters::FieldCount; ++field)
            if (!(setByHand & (1 << field)) && !counters::sameField(amounts, WorkDataRecord{}, field))
                return true;
        return false;
    }
    bool operator==(const UntakenCounts &o) const { return amounts == o.amounts && setByHand == o.setByHand; }

    // The row is to hold record, whatever it holds now.
    static UntakenCounts replacing(const WorkDataRecord &record, int fields = counters::kAllFields)
    {
        UntakenCounts owed;
        owed.amounts.date = record.date;
        for (int field = 0; field < counters::FieldCount; ++field)
            if (fields & (1 << field))
                owed.set(field, counters::fieldValue(record, field));
        return owed;
    }
};
