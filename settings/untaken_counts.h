#pragma once

#include "settings/counter_fields.h"

#include <cmath>

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
    // This, then later: what a row owes that is to take both in turn.
    UntakenCounts then(const UntakenCounts &later) const
    {
        UntakenCounts both;
        both.amounts = later.takenBy(amounts);
        both.amounts.date = amounts.date;
        both.setByHand = setByHand | later.setByHand;
        return both;
    }
    // What of this a row has not taken when it took taken, an earlier or the
    // same state of one spell: amounts only grow and sets stay sets, so a
    // counter taken as set is taken whole, and an amount less what was taken.
    UntakenCounts minus(const UntakenCounts &taken) const
    {
        UntakenCounts left;
        left.amounts.date = amounts.date;
        for (int field = 0; field < counters::FieldCount; ++field) {
            const int bit = 1 << field;
            if (taken.setByHand & bit)
                continue;
            if (setByHand & bit) {
                left.set(field, counters::fieldValue(amounts, field));
                continue;
            }
            const double own = counters::fieldValue(amounts, field).toDouble();
            const double gone = counters::fieldValue(taken.amounts, field).toDouble();
            // Lengths are sums of doubles: what is left of a whole take is rounding.
            const double rest = own - gone <= 1e-9 * std::max(1.0, std::abs(own)) ? 0.0 : own - gone;
            counters::setFieldValue(left.amounts, field, counters::typed(field, rest));
        }
        return left;
    }
    // Whether the row would change at all.
    bool owes() const { return setByHand || !(amounts == WorkDataRecord{amounts.date}); }
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
