#include "platform/processes/process_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace processes {

namespace {

QString fileNameOf(QString path)
{
    // A replaced or removed executable still names the running process.
    const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The executable's link when it may be read (own processes), else the
// first command-line word (processes of other users).
QString executableName(const QString &procDir)
{
    const QString exe = QFile::symLinkTarget(procDir + QStringLiteral("/exe"));
    if (!exe.isEmpty())
        return fileNameOf(exe);
    QFile cmdline(procDir + QStringLiteral("/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    const QByteArray first = cmdline.read(4096).split('\0').value(0);
    return fileNameOf(QString::fromLocal8Bit(first));
}

} // namespace

QList<RunningProcess> runningProcesses()
{
    QList<RunningProcess> list;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString name = executableName(QStringLiteral("/proc/") + entry);
        if (!name.isEmpty())
            list.append({pid, name});
    }
    return list;
}

bool isRunning(const QString &executableName)
{
    if (executableName.isEmpty())
        return false;
    for (const RunningProcess &process : runningProcesses()) {
        if (process.executableName == executableName)
            return true;
    }
    return false;
}

} // namespace processes
