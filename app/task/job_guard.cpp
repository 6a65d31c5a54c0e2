#include "app/task/job_guard.h"

#include <QCoreApplication>
#include <QDebug>

JobGuard::JobGuard(std::function<int()> taskStatus, std::function<void(const QString &)> showMessage)
    : m_taskStatus(std::move(taskStatus))
    , m_showMessage(std::move(showMessage))
{
}

bool JobGuard::refuse(const char *where, const QString &what) const
{
    if (!m_taskStatus || m_taskStatus() == 2)
        return false;
    qWarning() << where << what << "refused: a job is running";
    if (m_showMessage)
        m_showMessage(QCoreApplication::translate("SpoolsmithApp", "任务运行中，请先停止任务"));
    return true;
}
