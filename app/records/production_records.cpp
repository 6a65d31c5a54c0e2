// The production records of a job: written to the statistics store as pages
// are printed and copies are cut.
#include "app/records/production_records.h"

#include "settings/config.h"

#include <QDebug>

ProductionRecords::ProductionRecords(AppServices services, std::function<int()> taskStatus)
    : m_services(std::move(services))
    , m_taskStatus(std::move(taskStatus))
{
}

DbConfig *ProductionRecords::store() const
{
    Config *config = m_services.config();
    return config ? &config->db() : nullptr;
}

// The counting clock's time: a copy counted on a day is recorded on it, and a
// record lands in the month tables of that day.
QDateTime ProductionRecords::now() const
{
    const Config *config = m_services.config();
    return config ? config->now() : QDateTime::currentDateTime();
}

void ProductionRecords::beginWorkRecord()
{
    std::lock_guard<std::mutex> lock(m_lock);
    // A new job starts its own counts; the files stay those chosen. Its key
    // is never an earlier job's, however soon it follows.
    m_printWorkRecord.timestamp = nextRecordTime();
    m_printWorkRecord.cutCnt = 0;
    m_printWorkRecord.printCnt = 0;
    m_printWorkRecord.checkCnt = 0;
    // The page code read in an earlier job and its batch are not this job's:
    // a job whose pages are never searched for a code would count on them.
    m_taskRecord = TaskRecord();
    m_cutWorkRecord = WorkRecord();
}

void ProductionRecords::setWorkRecordCutFile(const QString &file)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_printWorkRecord.cutFile = file;
}

void ProductionRecords::setWorkRecordPrintFile(const QString &file)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_printWorkRecord.printFile = file;
}

void ProductionRecords::setWorkRecordDataSource(const QString &file)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_printWorkRecord.dataSourceFile = file;
}

void ProductionRecords::recordCutCopy(double pageHeightMm, bool earlierJobsPage)
{
    quint32 code = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        code = m_taskRecord.code;
        // The running job's record is written whole at its first printed
        // page: a cut of another job's page must not be in it.
        const bool known = code != 0 && !m_taskRecord.timestamp.isNull();
        const bool runningJobs = known ? m_cutWorkRecord.timestamp == m_printWorkRecord.timestamp : !earlierJobsPage;
        if (runningJobs)
            m_printWorkRecord.cutCnt += 1;
    }
    if (Config *config = m_services.config()) {
        // One write for the copy and the scans that found its page.
        WorkDataRecord delta = m_pendingCounts ? m_pendingCounts() : WorkDataRecord();
        delta.copies = 1;
        delta.cutLen = pageHeightMm * 0.001;
        config->addCounts(delta);
    }
    if (code != 0)
        updateTaskWorkRecords();
}

void ProductionRecords::updateTaskWorkRecords()
{
    DbConfig *db = store();
    std::lock_guard<std::mutex> lock(m_lock);
    // A code the store did not know has no batch to add to; counting it into
    // the batch looked up before would credit the wrong page.
    if (m_taskRecord.timestamp.isNull())
        return;
    if (!m_cutWorkRecord.timestamp.isNull()) {
        m_cutWorkRecord.cutCnt += 1;
        if (db)
            db->updateWorkRecord(m_cutWorkRecord, 1);
    }
    m_taskRecord.cutCopies += 1;
    m_taskRecord.cutTime = now();
    m_taskRecord.workRecordTimestamp = m_cutWorkRecord.timestamp;
    if (db)
        db->updateTaskRecord(m_taskRecord, 1);
}

int ProductionRecords::updatePrintRecord(uint copies, int dataIndex)
{
    const quint32 code = takePageCode();
    if (code != 0)
        recordPrintedPage(code, copies, dataIndex);
    return int(code);
}

quint32 ProductionRecords::takePageCode()
{
    Config *config = m_services.config();
    DbConfig *db = store();
    if (!config || !db || config->getProperty(Config::CPT_Enable_Print_Marker_Type).toInt() < 1)
        return 0;
    const quint32 code = db->nextCode();
    if (code == 0)
        qCritical() << "SpoolsmithApp::updatePrintRecord" << "getCode Failed";
    return code;
}

QDateTime ProductionRecords::nextRecordTime()
{
    QDateTime time = now();
    if (m_lastRecordTime.isValid() && time <= m_lastRecordTime)
        time = m_lastRecordTime.addMSecs(1);
    m_lastRecordTime = time;
    return time;
}

void ProductionRecords::recordPrintedPage(quint32 code, uint copies, int dataIndex)
{
    DbConfig *db = store();
    if (!db || code == 0)
        return;
    TaskRecord page;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        page.timestamp = nextRecordTime();
        if (m_taskStatus() != 2) {
            page.workRecordTimestamp = m_printWorkRecord.timestamp;
            m_printWorkRecord.printCnt += copies;
            db->updateWorkRecord(m_printWorkRecord, 0);
        } else {
            // A test print outside a job gets a work record of its own, keyed
            // apart from every other record.
            WorkRecord single = m_printWorkRecord;
            single.timestamp = page.timestamp;
            single.cutCnt = 0;
            single.checkCnt = 0;
            single.printCnt = copies;
            db->updateWorkRecord(single, 0);
            page.workRecordTimestamp = single.timestamp;
        }
    }
    page.code = code;
    page.dataIndex = dataIndex;
    page.printCopies = copies;
    page.printTime = now();
    db->updateTaskRecord(page, 0);
}

void ProductionRecords::setPageCode(quint32 code)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (code == m_taskRecord.code)
        return;
    // The records looked up belong to the code before: another page's copies
    // count on its own batch once that is looked up, a page without one on none.
    m_taskRecord = TaskRecord();
    m_taskRecord.code = code;
    m_cutWorkRecord = WorkRecord();
}

quint32 ProductionRecords::pageCode() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_taskRecord.code;
}

bool ProductionRecords::lookUpPageCode(quint32 code)
{
    DbConfig *db = store();
    TaskRecord task;
    if (!db || code == 0 || !db->findTaskRecordByCode(code, task)) {
        qWarning() << "SpoolsmithApp::lookUpPageCode" << "page code" << code << "is not in the statistics store";
        std::lock_guard<std::mutex> lock(m_lock);
        m_taskRecord = TaskRecord();
        m_taskRecord.code = code;
        m_cutWorkRecord = WorkRecord();
        return false;
    }
    qInfo() << "SpoolsmithApp::setSwitchCutFile" << "识别切割内容" << code;
    WorkRecord work;
    const bool found = db->findWorkRecordByTimestamp(task.workRecordTimestamp, work);
    std::lock_guard<std::mutex> lock(m_lock);
    m_taskRecord = task;
    if (found) {
        m_cutWorkRecord = work;
    } else {
        qCritical() << "SpoolsmithApp::setSwitchCutFile" << m_cutWorkRecord.cutFile << "is not exist";
        // The job found before did not print this page.
        m_cutWorkRecord = WorkRecord();
    }
    return true;
}

WorkRecord ProductionRecords::printWorkRecord() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printWorkRecord;
}

WorkRecord ProductionRecords::cutWorkRecord() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cutWorkRecord;
}

TaskRecord ProductionRecords::taskRecord() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_taskRecord;
}
