// The driver's plot-data buffer: written by the cut-file code on the GUI
// thread and by the job steps on the task thread, read by the senders.
#include "machine/trv610plus.h"

QByteArray TRV610Plus::pltData() const
{
    QMutexLocker lock(&m_pltLock);
    return m_pltData;
}

void TRV610Plus::setPltData(const QByteArray &data)
{
    QMutexLocker lock(&m_pltLock);
    m_pltData = data;
}

void TRV610Plus::clearPltData()
{
    QMutexLocker lock(&m_pltLock);
    m_pltData.clear();
}
