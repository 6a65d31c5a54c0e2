#pragma once

#include "settings/config.h"
#include "settings/production_counters.h"

#include <QSqlDatabase>
#include <QRegularExpression>
#include <QSqlQuery>

// The store of a counters test's program folder: in a folder of its own, so
// a program folder made read-only leaves the store as it is.
inline QString storePath(const QString &dir)
{
    return dir + QStringLiteral("/store/config.db");
}

// Rows of t_work_data that fail to read or to write, as another program or a
// damaged or full store makes them: the table stands behind a view whose
// named rows fail to read ("malformed JSON") and whose writes of named rows
// fail, named in the tables unreadable and unwritable ('*': every row, '':
// the totals'). Steps: "unread", "unwrite" with ":t" (the totals), ":N"
// (May N) or nothing (every row); "read", "write" undo them (as named, or all).
inline void storeStep(const QString &db, const QString &step)
{
    static const char *const kInstall[] = {
        "ALTER TABLE t_work_data RENAME TO t_work_rows",
        "CREATE TABLE unreadable(date TEXT PRIMARY KEY)",
        "CREATE TABLE unwritable(date TEXT PRIMARY KEY)",
        "CREATE VIEW t_work_data AS SELECT date, CASE WHEN EXISTS(SELECT 1 FROM unreadable u WHERE u.date IN "
        "(r.date, '*')) THEN json('x') ELSE cut_len END AS cut_len, print_len, _copies, scan_mark, scan_mark_ok "
        "FROM t_work_rows r",
        "CREATE TRIGGER work_insert INSTEAD OF INSERT ON t_work_data BEGIN SELECT RAISE(ABORT, 'disk full') WHERE "
        "EXISTS(SELECT 1 FROM unwritable u WHERE u.date IN (NEW.date, '*')); INSERT INTO t_work_rows VALUES(NEW.date, "
        "NEW.cut_len, NEW.print_len, NEW._copies, NEW.scan_mark, NEW.scan_mark_ok); END",
        "CREATE TRIGGER work_update INSTEAD OF UPDATE ON t_work_data BEGIN SELECT RAISE(ABORT, 'disk full') WHERE "
        "EXISTS(SELECT 1 FROM unwritable u WHERE u.date IN (NEW.date, '*')); UPDATE t_work_rows SET cut_len = "
        "NEW.cut_len, print_len = NEW.print_len, _copies = NEW._copies, scan_mark = NEW.scan_mark, scan_mark_ok = "
        "NEW.scan_mark_ok WHERE date = OLD.date; END"};
    {
        QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "trouble");
        c.setDatabaseName(db);
        c.setConnectOptions("QSQLITE_BUSY_TIMEOUT=20"); // a held store makes no trouble
        c.open();
        QSqlQuery q(c);
        // In one transaction: a power cut never leaves half of it.
        if (step.startsWith("un") && q.exec("SELECT 1 FROM sqlite_master WHERE name = 't_work_data' AND type = 'table'")
            && q.next() && q.exec("BEGIN"))
            for (const char *sql : kInstall)
                q.exec(sql);
        q.exec("COMMIT");
        const QString table = step.contains("read") ? "unreadable" : "unwritable";
        const QString row = !step.contains(':') ? "*" : step.endsWith(":t") ? "" : "2026-05-0" + step.right(1);
        q.exec(step.startsWith("un") ? QString("INSERT OR IGNORE INTO %1 VALUES('%2')").arg(table, row)
               : step.contains(':')  ? QString("DELETE FROM %1 WHERE date = '%2'").arg(table, row)
                                     : QString("DELETE FROM %1").arg(table));
    }
    QSqlDatabase::removeDatabase("trouble");
}

// A step of the counters' stories, in the counters test and its counting
// child: "count" (0.25 cut, 0.5 print, 4 of 4 marks), "set" (todayCopies
// 100), "settotal" (totalCopies 50), "look" (the day clock looks), "reread"
// (the settings), "sync" (config.ini written out), "@5T10:20" (the clock
// reads May 5, 10:20), "row N" (May N's row holds 5 copies), "day N"
// (midnight into May N), "hide"/"back" (every row unreadable, and back).
inline bool clockStep(QDateTime &now, const QString &step)
{
    if (step.startsWith('@'))
        now = QDateTime(QDate(2026, 5, step.mid(1).section('T', 0, 0).toInt()),
                        QTime::fromString(step.section('T', 1), step.count(':') > 1 ? "H:mm:ss" : "H:mm"));
    else if (step.startsWith("day"))
        now = QDateTime(QDate(2026, 5, step.right(1).toInt()), QTime(0, 0, 1));
    return step.startsWith('@');
}
inline void counterStep(Config &c, QDateTime &now, const QString &step)
{
    const QDate day(2026, 5, step.right(1).toInt());
    if (clockStep(now, step))
        return;
    if (step == "hide" || step == "back" || step.contains(QRegularExpression("^(un)?(read|write)")))
        storeStep(c.db().databasePath(), step == "hide" ? "unread" : step == "back" ? "read" : step);
    else
        step == "count" ? c.addCounts({QDate(), 0.25, 0.5, 1, 4, 4})
        : step == "set" ? c.setTodayCopies(100)
        : step == "settotal" ? c.setTotalCopies(50)
        : step == "look" ? c.setToday(now.date())
        : step == "reread" ? c.initParams(false)
        : step == "sync" ? c.counters().syncKeys()
        : step.startsWith("day") ? c.setToday(day)
        : step.startsWith("row") ? void(c.db().updateWorkData({day, 1.25, 2.5, 5, 20, 20}))
                                 : void(qFatal("no step %s", qPrintable(step)));
}

// What the screen shows: the day and the day's and total counters.
inline QString shownCounters(const Config &c)
{
    const WorkDataRecord d = c.dayRecord(), t = c.totalRecord();
    return QString("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11")
        .arg(c.today().toString(Qt::ISODate))
        .arg(d.cutLen).arg(d.printLen).arg(d.copies).arg(d.scanMark).arg(d.scanMarkOk)
        .arg(t.cutLen).arg(t.printLen).arg(t.copies).arg(t.scanMark).arg(t.scanMarkOk);
}
