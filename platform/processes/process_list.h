#pragma once

#include <QList>
#include <QString>

namespace processes {

struct RunningProcess
{
    qint64 pid = 0;
    // The file name of the executable, not the kernel's shortened command
    // name (15 characters on Linux).
    QString executableName;
};

// Every process of the system whose executable name could be read.
QList<RunningProcess> runningProcesses();
// Whether a process whose executable name equals name (case-sensitive) runs.
bool isRunning(const QString &executableName);

} // namespace processes
