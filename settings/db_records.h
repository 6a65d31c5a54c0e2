#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One row of t_work_data: the counters of one day, or the running totals
// when date is null. Lengths are metres in double precision: a float stops
// growing once the total is large compared with one copy.
struct WorkDataRecord
{
    QDate date;
    double cutLen = 0.0;
    double printLen = 0.0;
    quint32 copies = 0;
    quint32 scanMark = 0;
    quint32 scanMarkOk = 0;

    bool operator==(const WorkDataRecord &o) const
    {
        return date == o.date && cutLen == o.cutLen && printLen == o.printLen && copies == o.copies
            && scanMark == o.scanMark && scanMarkOk == o.scanMarkOk;
    }
};

// One job: what it printed and cut. The timestamp is the key.
struct WorkRecord
{
    QDateTime timestamp;
    QString cutFile;
    quint32 cutCnt = 0;
    QString printFile;
    quint32 printCnt = 0;
    QString dataSourceFile;
    quint32 checkCnt = 0;
};

// One printed page batch, found again on the cut side by its page code.
struct TaskRecord
{
    QDateTime timestamp;
    QDateTime workRecordTimestamp;
    quint32 code = 0;
    qint32 dataIndex = -1;
    quint32 printCopies = 0;
    QDateTime printTime;
    quint32 cutCopies = 0;
    QDateTime cutTime;
    quint32 checkCopies = 0;
    QDateTime checkTime;
};
