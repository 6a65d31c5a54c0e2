#pragma once

#include "settings/db_records.h"

// A row of t_work_data as the counters hold it: the day's or the totals'.
// While the row cannot be read it is never written: the record then holds
// only what was counted since, to be added to the row at the first moment it
// reads, and a counter set by hand meanwhile stands as set.
struct CounterRow
{
    WorkDataRecord record;
    bool unread = false;
    // A bit per counter (cut, print, copies, scan marks, good scan marks)
    // set by hand while unread.
    int setWhileUnread = 0;

    // The row as read, with what was counted meanwhile added to it.
    WorkDataRecord mergedWith(const WorkDataRecord &row) const
    {
        WorkDataRecord merged = row;
        merged.date = record.date;
        int bit = 1;
        const auto take = [&](auto WorkDataRecord::*field) {
            merged.*field = (setWhileUnread & bit) ? record.*field : row.*field + record.*field;
            bit <<= 1;
        };
        take(&WorkDataRecord::cutLen);
        take(&WorkDataRecord::printLen);
        take(&WorkDataRecord::copies);
        take(&WorkDataRecord::scanMark);
        take(&WorkDataRecord::scanMarkOk);
        return merged;
    }
    // Nothing counted and nothing set: nothing to add to the row.
    bool holdsNothing() const { return record == WorkDataRecord{record.date} && !setWhileUnread; }
};
