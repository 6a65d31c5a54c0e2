#include "settings/db_config.h"
#include "tests/support/hang_bound.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <mutex>
#include <thread>

namespace {

QStringList g_log;
void recordLog(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtWarningMsg)
        g_log.append(msg);
}

// name type notnull pk, one line per column, as the file holds them.
QStringList schema(DbConfig &db, const QString &table)
{
    QList<QVariantList> rows;
    db.select(QStringLiteral("PRAGMA table_info(%1)").arg(table), rows);
    QStringList out;
    for (const QVariantList &r : rows)
        out.append(QStringLiteral("%1 %2 %3 %4").arg(r[1].toString(), r[2].toString(), r[3].toString(), r[5].toString()));
    return out;
}

QStringList tables(DbConfig &db)
{
    QList<QVariantList> rows;
    db.select(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"), rows);
    QStringList out;
    for (const QVariantList &r : rows)
        out.append(r[0].toString());
    return out;
}

QDateTime at(int y, int m, int d, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(10, 0)).addMSecs(ms);
}

TaskRecord taskAt(const QDateTime &t, quint32 code)
{
    TaskRecord r;
    r.timestamp = t;
    r.code = code;
    r.printCopies = 1;
    r.printTime = t;
    return r;
}

} // namespace

class TestDbConfig : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString dbPath() const { return m_dir->filePath(QStringLiteral("config.db")); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        g_log.clear();
    }

    void freshStoreHoldsTheFixedTablesWithTheirSchema()
    {
        DbConfig db(dbPath());
        QCOMPARE(tables(db), (QStringList{"t_task_work_tab", "t_work_data"}));
        QCOMPARE(schema(db, "t_work_data"),
                 (QStringList{"date DATE 0 1", "cut_len REAL 0 0", "print_len REAL 0 0", "_copies INTEGER 0 0",
                              "scan_mark INTEGER 0 0", "scan_mark_ok INTEGER 0 0"}));
        QCOMPARE(schema(db, "t_task_work_tab"),
                 (QStringList{"date DATE 1 1", "work_tab_name TEXT 1 0", "task_tab_name TEXT 1 0"}));
        // One column definition a line, indented by four.
        QList<QVariantList> rows;
        db.select("SELECT sql FROM sqlite_master WHERE name = 't_work_data'", rows);
        QCOMPARE(rows.value(0).value(0).toString(),
                 QStringLiteral("CREATE TABLE t_work_data( \n    date DATE PRIMARY KEY, \n    cut_len REAL, \n"
                                "    print_len REAL, \n    _copies INTEGER, \n    scan_mark INTEGER, \n"
                                "    scan_mark_ok INTEGER\n)"));
    }

    void firstRecordOfAMonthMakesItsTablesOnce()
    {
        DbConfig db(dbPath());
        WorkRecord w;
        w.timestamp = at(2025, 3, 4);
        QVERIFY(db.updateWorkRecord(w, 0));
        QCOMPARE(tables(db), (QStringList{"t_task_record_2025_03", "t_task_work_tab", "t_work_data",
                                          "t_work_record_2025_03"}));
        QCOMPARE(schema(db, "t_work_record_2025_03"),
                 (QStringList{"timestamp INTEGER 1 1", "cut_file TEXT 0 0", "cut_cnt INTEGER 0 0",
                              "print_file TEXT 0 0", "print_cnt INTEGER 0 0", "dataSourceFile TEXT 0 0",
                              "check_cnt INTEGER 0 0"}));
        QCOMPARE(schema(db, "t_task_record_2025_03"),
                 (QStringList{"timestamp INTEGER 1 1", "work_record_timestamp INTEGER 0 0", "code INTEGER 0 0",
                              "dataIndex INTEGER 0 0", "printCopies INTEGER 0 0", "printTime INTEGER 0 0",
                              "cutCopies INTEGER 0 0", "cutTime INTEGER 0 0", "checkCopies INTEGER 0 0",
                              "checkTime INTEGER 0 0"}));
        w.timestamp = at(2025, 3, 20);
        QVERIFY(db.updateWorkRecord(w, 0));
        QList<QVariantList> index;
        QVERIFY(db.selectTaskWorkTab(QDate(), QDate(), index));
        QCOMPARE(index, (QList<QVariantList>{{"2025_03", "t_work_record_2025_03", "t_task_record_2025_03"}}));
        QCOMPARE(tables(db).size(), 4);
    }

    void workRecordModesAndTextsByteExact()
    {
        DbConfig db(dbPath());
        WorkRecord w;
        w.timestamp = at(2025, 3, 4, 123);
        // Quotes, percent placeholders and non-ASCII text are data, never SQL.
        w.cutFile = QStringLiteral("C:/jobs/O'Neil %2.plt");
        w.printFile = QStringLiteral("标签 %1'); DROP TABLE t_work_data;--.pdf");
        w.dataSourceFile = QStringLiteral("%3");
        w.cutCnt = 1;
        w.printCnt = 2;
        w.checkCnt = 3;
        QVERIFY(db.updateWorkRecord(w, 1));
        WorkRecord changed = w;
        changed.cutCnt = 9;
        changed.printCnt = 99;
        changed.cutFile = "other";
        QVERIFY(db.updateWorkRecord(changed, 1));
        QVERIFY(!db.updateWorkRecord(changed, 2));
        WorkRecord back;
        QVERIFY(db.findWorkRecordByTimestamp(w.timestamp, back));
        QCOMPARE(back.timestamp, w.timestamp);
        QCOMPARE(back.cutFile, w.cutFile);
        QCOMPARE(back.printFile, w.printFile);
        QCOMPARE(back.dataSourceFile, w.dataSourceFile);
        QCOMPARE(back.cutCnt, 9u); // mode 1 changes only cut_cnt
        QCOMPARE(back.printCnt, 2u);
        QCOMPARE(back.checkCnt, 3u);
        QVERIFY(db.updateWorkRecord(changed, 0));
        QVERIFY(db.findWorkRecordByTimestamp(w.timestamp, back));
        QCOMPARE(back.printCnt, 99u);
        QCOMPARE(tables(db).size(), 4);
    }

    void taskRecordsRoundTripAndUpdateTheirPairs()
    {
        DbConfig db(dbPath());
        TaskRecord t = taskAt(at(2025, 4, 1), 0xFFFFFFF0u);
        t.workRecordTimestamp = at(2025, 3, 31);
        t.dataIndex = -1;
        QVERIFY(db.updateTaskRecord(t, 0));
        t.cutCopies = 2;
        t.cutTime = at(2025, 4, 2);
        t.printCopies = 7;
        QVERIFY(db.updateTaskRecord(t, 1));
        TaskRecord back;
        QVERIFY(db.findTaskRecordByCode(0xFFFFFFF0u, back));
        QCOMPARE(back.code, 0xFFFFFFF0u);
        QCOMPARE(back.dataIndex, -1);
        QCOMPARE(back.workRecordTimestamp, t.workRecordTimestamp);
        QCOMPARE(back.cutCopies, 2u);
        QCOMPARE(back.cutTime, t.cutTime);
        QCOMPARE(back.printCopies, 1u); // the cut update leaves the print pair
        QVERIFY(!back.checkTime.isValid());
        QVERIFY(!db.findTaskRecordByCode(5, back));
    }

    void nullTimestampIsRefusedWithoutAnyStatement()
    {
        qInstallMessageHandler(recordLog);
        DbConfig db(dbPath());
        QVERIFY(!db.updateWorkRecord(WorkRecord(), 0));
        QVERIFY(!db.updateTaskRecord(TaskRecord(), 1));
        qInstallMessageHandler(nullptr);
        QCOMPARE(g_log, (QStringList{"DbConfig::updateWorkRecord timestamp is NULL",
                                     "DbConfig::updateTaskRecord Timestamp is NULL"}));
        QCOMPARE(tables(db).size(), 2);
    }

    void rowConvertersNeedTheirColumnCount()
    {
        WorkDataRecord d;
        d.copies = 7;
        QVERIFY(!DbConfig::toWorkDataRecord({"2025-01-01", 1.0, 2.0, 3, 4}, d));
        QCOMPARE(d.copies, 7u);
        QVERIFY(DbConfig::toWorkDataRecord({"2025-01-01", 1.5, 2.0, 3, 4, 5}, d));
        QCOMPARE(d.date, QDate(2025, 1, 1));
        QCOMPARE(d.cutLen, 1.5);
        WorkRecord w;
        QVERIFY(!DbConfig::toWorkRecord(QVariantList(6), w));
        TaskRecord t;
        QVERIFY(!DbConfig::toTaskRecord(QVariantList(11), t));
    }

    void workDataTotalsRowHasTheEmptyDate()
    {
        DbConfig db(dbPath());
        WorkDataRecord total;
        total.cutLen = 60000.3;
        total.copies = 5;
        WorkDataRecord day;
        day.date = QDate(2025, 3, 4);
        day.copies = 2;
        QVERIFY(db.updateWorkData(QList<WorkDataRecord>{day, total}));
        total.copies = 6;
        QVERIFY(db.updateWorkData(total));
        QList<QVariantList> rows;
        QVERIFY(db.select("SELECT date, _copies, cut_len, typeof(date) FROM t_work_data ORDER BY date", rows));
        QCOMPARE(rows, (QList<QVariantList>{{"", 6, 60000.3, "text"}, {"2025-03-04", 2, 0.0, "text"}}));
        WorkDataRecord back;
        QVERIFY(db.selectWorkData(QDate(), back));
        QVERIFY(back.date.isNull());
        QCOMPARE(back.cutLen, 60000.3);
        QVERIFY(!db.selectWorkData(QDate(2025, 3, 5), back));
    }

    void dateBoundsOfTheMonthIndex()
    {
        DbConfig db(dbPath());
        for (int m : {1, 2, 3, 4})
            QVERIFY(db.ensureMonthTables(QDate(2025, m, 1)));
        QList<QVariantList> rows;
        QVERIFY(db.selectTaskWorkTab(QDate(2025, 2, 1), QDate(2025, 3, 31), rows));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0].toString(), "2025_03");
        QVERIFY(db.selectTaskWorkTab(QDate(2025, 3, 1), QDate(), rows));
        QCOMPARE(rows.size(), 2);
        QVERIFY(db.selectTaskWorkTab(QDate(), QDate(2025, 1, 9), rows));
        QCOMPARE(rows.size(), 1);
    }

    // A newer program may give a table a column more: every record still
    // goes in and comes back, in a month the store has and in a new one.
    void storeWithAColumnMoreKeepsEveryRecord_data()
    {
        QTest::addColumn<QString>("table");
        for (const char *t : {"t_task_work_tab", "t_work_record_2025_03", "t_task_record_2025_03"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void storeWithAColumnMoreKeepsEveryRecord()
    {
        QFETCH(QString, table);
        {
            DbConfig db(dbPath());
            QVERIFY(db.ensureMonthTables(QDate(2025, 3, 1)));
            QVERIFY(db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN extra TEXT DEFAULT 'newer'").arg(table)));
        }
        DbConfig db(dbPath());
        for (const QDateTime &t : {at(2025, 3, 4), at(2025, 4, 2)}) {
            WorkRecord w;
            w.timestamp = t;
            w.cutFile = QStringLiteral("a.plt");
            QVERIFY2(db.updateWorkRecord(w, 1), qPrintable(t.toString()));
            const quint32 code = db.nextCode();
            QVERIFY(code != 0);
            QVERIFY2(db.updateTaskRecord(taskAt(t, code), 0), qPrintable(t.toString()));
            WorkRecord back;
            QVERIFY(db.findWorkRecordByTimestamp(t, back));
            QCOMPARE(back.cutFile, w.cutFile);
            TaskRecord task;
            QVERIFY(db.findTaskRecordByCode(code, task));
            QCOMPARE(task.timestamp, t);
        }
    }

    void nextCodeRisesAndNeverRepeatsAfterARestart()
    {
        {
            DbConfig db(dbPath());
            QCOMPARE(db.nextCode(), 1u);
            QCOMPARE(db.nextCode(), 2u);
            QCOMPARE(db.nextCode(), 3u);
            QVERIFY(db.updateTaskRecord(taskAt(at(2025, 3, 4), 41), 0));
            QVERIFY(db.updateTaskRecord(taskAt(at(2025, 3, 5), 7), 0));
        }
        {
            DbConfig db(dbPath());
            QCOMPARE(db.nextCode(), 42u);
            // A new month whose tables exist before its first page.
            WorkRecord w;
            w.timestamp = at(2025, 4, 1);
            QVERIFY(db.updateWorkRecord(w, 0));
        }
        DbConfig db(dbPath());
        QCOMPARE(db.nextCode(), 42u);
        QCOMPARE(db.nextCode(), 43u);
    }

    void writesFromWorkerThreadsUseTheirOwnConnections()
    {
        DbConfig db(dbPath());
        const QString ownName = db.connectionName();
        QStringList names;
        std::mutex namesLock;
        std::atomic<int> failures{0};
        auto work = [&](int worker) {
            {
                std::lock_guard<std::mutex> lock(namesLock);
                names.append(db.connectionName());
            }
            for (int i = 0; i < 50; ++i) {
                WorkDataRecord day;
                day.date = QDate(2025, 1, 1 + worker);
                day.copies = quint32(i + 1);
                TaskRecord t = taskAt(at(2025, 5, 1 + worker, i), quint32(worker * 1000 + i + 1));
                if (!db.updateWorkData(day) || !db.updateTaskRecord(t, 0) || db.nextCode() == 0)
                    ++failures;
            }
        };
        std::vector<std::unique_ptr<QThread>> qthreads;
        for (int w = 0; w < 3; ++w)
            qthreads.emplace_back(QThread::create(work, w));
        for (auto &t : qthreads)
            t->start();
        std::thread plain(work, 3);
        work(4);
        plain.join();
        for (auto &t : qthreads)
            QVERIFY(t->wait(kHangMs));
        QCOMPARE(failures.load(), 0);
        QCOMPARE(names.size(), 5);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 5);
        QVERIFY(names.contains(ownName));
        // Finished threads took their connections with them.
        // (The write-ahead log mover keeps one of its own for the whole run.)
        const auto writers = [] {
            const QStringList all = QSqlDatabase::connectionNames();
            return all.size() - int(all.filter(QStringLiteral("wal-checkpoint-")).size());
        };
        QTRY_COMPARE_WITH_TIMEOUT(writers(), 1, kHangMs);
        QList<QVariantList> rows;
        QVERIFY(db.select("SELECT SUM(_copies) FROM t_work_data", rows));
        QCOMPARE(rows[0][0].toInt(), 5 * 50);
        QVERIFY(db.select("SELECT COUNT(*) FROM t_task_record_2025_05", rows));
        QCOMPARE(rows[0][0].toInt(), 5 * 50);
    }

    void damagedStoreIsLoggedAndRefusedWithoutACrash()
    {
        QFile f(dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        qInstallMessageHandler(recordLog);
        DbConfig db(dbPath());
        WorkDataRecord r;
        const bool wrote = db.updateWorkData(r);
        const quint32 code = db.nextCode();
        WorkRecord w;
        w.timestamp = QDateTime::currentDateTime();
        const bool record = db.updateWorkRecord(w, 0);
        qInstallMessageHandler(nullptr);
        QVERIFY(!wrote);
        QCOMPARE(code, 0u);
        QVERIFY(!record);
        QVERIFY2(g_log.filter("is locked, read-only or damaged").size() == 1, qPrintable(g_log.join('\n')));
        QVERIFY(!g_log.filter("file is not a database").isEmpty());
    }

    void lockedStoreFailsWritesUntilReleased()
    {
        DbConfig db(dbPath());
        QVERIFY(db.updateWorkData(WorkDataRecord()));
        db.setBusyTimeout(100);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
            other.setDatabaseName(dbPath());
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec("BEGIN EXCLUSIVE"));
            qInstallMessageHandler(recordLog);
            WorkDataRecord r;
            r.copies = 3;
            const bool wrote = db.updateWorkData(r);
            qInstallMessageHandler(nullptr);
            QVERIFY(!wrote);
            QVERIFY2(!g_log.filter("database is locked").isEmpty(), qPrintable(g_log.join('\n')));
            QVERIFY(q.exec("ROLLBACK"));
            WorkDataRecord back;
            QVERIFY(db.updateWorkData(r));
            QVERIFY(db.selectWorkData(QDate(), back));
            QCOMPARE(back.copies, 3u);
        }
        QSqlDatabase::removeDatabase("locker");
    }
};

QTEST_GUILESS_MAIN(TestDbConfig)
#include "tst_db_config.moc"
