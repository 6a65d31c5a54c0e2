#include "tests/support/app_test_main.h"
#include "app/spoolsmith_app.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestProductionRecords : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.info=false")); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<Config>(m_dir->path(), m_dir->filePath("config.db"));
        Config::setInstance(m_config.get());
        m_config->setProperty(Config::CPT_Enable_Print_Marker_Type, 1);
        app()->setPageCode(0);
    }
    void cleanup()
    {
        Config::setInstance(nullptr);
        m_config.reset();
    }

    void pagesWithoutACodeOnlyRaiseTheCounters()
    {
        app()->beginWorkRecord();
        app()->recordCutCopy(300.0);
        app()->recordCutCopy(300.0);
        QCOMPARE(app()->printWorkRecord().cutCnt, 2u);
        QCOMPARE(m_config->todayCopies(), 2);
        QCOMPARE(m_config->totalCut(), 0.6);
        QList<QVariantList> months;
        QVERIFY(m_config->db().selectTaskWorkTab(QDate(), QDate(), months));
        QVERIFY(months.isEmpty());
    }

    void printedBatchFoundByItsCodeCountsItsCutCopies()
    {
        app()->setTaskStatus(1);
        app()->beginWorkRecord();
        app()->setWorkRecordCutFile(QStringLiteral("O'Neil %2.plt"));
        const int code = app()->updatePrintRecord(4, 17);
        QVERIFY(code > 0);
        QCOMPARE(app()->printWorkRecord().printCnt, 4u);
        app()->setTaskStatus(2);

        app()->setPageCode(quint32(code));
        QVERIFY(app()->lookUpPageCode(quint32(code)));
        QCOMPARE(app()->cutWorkRecord().cutFile, QStringLiteral("O'Neil %2.plt"));
        app()->recordCutCopy(100.0);
        app()->recordCutCopy(100.0);
        TaskRecord task;
        QVERIFY(m_config->db().findTaskRecordByCode(quint32(code), task));
        QCOMPARE(task.cutCopies, 2u);
        QCOMPARE(task.printCopies, 4u);
        QCOMPARE(task.dataIndex, 17);
        QCOMPARE(task.cutTime, app()->taskRecord().cutTime);
        WorkRecord work;
        QVERIFY(m_config->db().findWorkRecordByTimestamp(task.workRecordTimestamp, work));
        QCOMPARE(work.cutCnt, 2u);
    }

    void aTestPrintGetsAWorkRecordOfItsOwn()
    {
        app()->setTaskStatus(2);
        const WorkRecord run = app()->printWorkRecord();
        const int code = app()->updatePrintRecord(1);
        QVERIFY(code > 0);
        TaskRecord task;
        QVERIFY(m_config->db().findTaskRecordByCode(quint32(code), task));
        QVERIFY(task.workRecordTimestamp != run.timestamp);
        WorkRecord work;
        QVERIFY(m_config->db().findWorkRecordByTimestamp(task.workRecordTimestamp, work));
        QCOMPARE(work.printCnt, 1u);
        QCOMPARE(app()->printWorkRecord().printCnt, run.printCnt);
    }

    void anUnknownCodeCreditsNoEarlierBatch()
    {
        QVERIFY(!app()->lookUpPageCode(999));
        app()->setPageCode(999);
        app()->recordCutCopy(100.0);
        QList<QVariantList> months;
        QVERIFY(m_config->db().selectTaskWorkTab(QDate(), QDate(), months));
        QVERIFY(months.isEmpty());
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestProductionRecords)
#include "tst_production_records.moc"
