#pragma once

#include "app/app_services.h"
#include "settings/db_records.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <mutex>

class DbConfig;

// The production records of a job: the run's work record (what is printed),
// the work record of the page being cut, and the task record of the printed
// batch whose page code was read last. Written to the statistics store as
// pages are printed and copies are cut; called from the GUI and job threads.
class ProductionRecords
{
public:
    // taskStatus is the application's (2: no job runs).
    ProductionRecords(AppServices services, std::function<int()> taskStatus);

    void beginWorkRecord();
    void setWorkRecordCutFile(const QString &file);
    void setWorkRecordPrintFile(const QString &file);
    void setWorkRecordDataSource(const QString &file);
    // The counting half of a finished cut copy: the day's and total copies
    // and cut length, and the batch's records. The cut counts on the job
    // that printed the page: found by its page code, else the running job
    // unless earlierJobsPage (a page an earlier job left uncut).
    void recordCutCopy(double pageHeightMm, bool earlierJobsPage = false);
    // Counts other parts hold back (the mark scans), written with each copy.
    void setPendingCounts(std::function<WorkDataRecord()> take) { m_pendingCounts = std::move(take); }
    void updateTaskWorkRecords();
    // Records one printed page that the printer prints copies times; returns
    // its page code, 0 when no code is used or none could be had.
    int updatePrintRecord(uint copies, int dataIndex);
    // The two halves of updatePrintRecord, for a page whose code is drawn
    // before it is sent: the code first (0: none), the records once the
    // page went out.
    quint32 takePageCode();
    void recordPrintedPage(quint32 code, uint copies, int dataIndex);
    void setPageCode(quint32 code);
    quint32 pageCode() const;
    // Loads the batch's task record and the work record of the job that
    // printed it; false when the store does not know the code.
    bool lookUpPageCode(quint32 code);
    WorkRecord printWorkRecord() const;
    WorkRecord cutWorkRecord() const;
    TaskRecord taskRecord() const;

private:
    DbConfig *store() const;
    QDateTime now() const;
    // Now, but always later than the last record's key: two pages in one
    // millisecond keep both records.
    QDateTime nextRecordTime();

    AppServices m_services;
    std::function<int()> m_taskStatus;
    std::function<WorkDataRecord()> m_pendingCounts;
    mutable std::mutex m_lock;
    WorkRecord m_printWorkRecord{QDateTime::currentDateTime()};
    WorkRecord m_cutWorkRecord;
    TaskRecord m_taskRecord;
    QDateTime m_lastRecordTime;
};
