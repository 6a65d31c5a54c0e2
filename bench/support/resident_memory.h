#pragma once

// Resident memory of this process, bytes, freed heap handed back first.

#include <QFile>
#include <QList>

#include <malloc.h>
#include <unistd.h>

namespace bench {

inline qint64 residentBytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

} // namespace bench
