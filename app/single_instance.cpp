#include "app/single_instance.h"

#include <QDebug>

SingleInstance::SingleInstance(const QString &key)
    : m_memory(key)
{
}

bool SingleInstance::acquire()
{
    // Attaching and detaching removes a segment nobody else is attached to,
    // which is what a crashed run leaves behind.
    if (m_memory.attach(QSharedMemory::ReadOnly)) {
        m_memory.detach();
        m_memory.attach(QSharedMemory::ReadOnly);
    }
    if (m_memory.create(1, QSharedMemory::ReadWrite))
        return true;
    qWarning() << "SingleInstance::acquire" << m_memory.errorString();
    return false;
}

void SingleInstance::release()
{
    if (m_memory.isAttached())
        m_memory.detach();
}
