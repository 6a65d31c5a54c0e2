#pragma once

#include <QString>

#include <functional>

// Refuses the operator's changes that would alter a job in progress (running
// or paused): the job prints and cuts what it started with to its end.
class JobGuard
{
public:
    JobGuard() = default;
    // taskStatus is the application's (2: no job); showMessage tells the operator.
    JobGuard(std::function<int()> taskStatus, std::function<void(const QString &)> showMessage);

    // True, with the operator's message and a log line naming where and
    // what, while a job exists.
    bool refuse(const char *where, const QString &what) const;

private:
    std::function<int()> m_taskStatus;
    std::function<void(const QString &)> m_showMessage;
};
