#pragma once

#include <QSharedMemory>
#include <QString>

// A one-byte shared-memory segment that only one running program can hold.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &key);
    // Takes the segment; false when another running program holds it. A
    // segment left behind by a crashed run is released first.
    bool acquire();
    // Gives the segment up early (before a restart hands over).
    void release();

private:
    QSharedMemory m_memory;
};
