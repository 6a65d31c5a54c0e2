#pragma once

#include "settings/config.h"

// A step of the counters' stories, in the counters test and its counting
// child: "count" (0.25 cut, 0.5 print, 4 of 4 marks), "set" (todayCopies 100),
// "hide"/"back" (a column more in the day rows, so a row found cannot be
// read), "row N" (May N's row holds 5 copies), "day N" (midnight into May N),
// "reread" (the settings).
inline void counterStep(Config &c, QDateTime &now, const QString &step)
{
    const QDate day(2026, 5, step.right(1).toInt());
    step == "count" ? c.addCounts({QDate(), 0.25, 0.5, 1, 4, 4})
    : step == "set" ? c.setTodayCopies(100)
    : step == "reread" ? c.initParams(false)
    : step.startsWith("day") ? (now = QDateTime(day, QTime(0, 0, 1)), c.setToday(day))
    : step.startsWith("row") ? void(c.db().updateWorkData({day, 1.25, 2.5, 5, 20, 20}))
    : void(c.db().exec(step == "hide" ? "ALTER TABLE t_work_data ADD COLUMN hidden"
                                      : "ALTER TABLE t_work_data DROP COLUMN hidden"));
}
