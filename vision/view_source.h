#pragma once

#include <QObject>
#include <QPointer>

#include <mutex>

// Where the painted views of one kind take what they paint from: a reader
// and the object whose update signal repaints them. Set from the part that
// owns the data, read by each view on the GUI thread.
template <typename Reader>
class ViewSource
{
public:
    void set(QObject *notifier, Reader reader)
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_notifier = notifier;
        m_reader = std::move(reader);
    }
    QObject *notifier()
    {
        std::lock_guard<std::mutex> locker(m_lock);
        return m_notifier;
    }
    // Empty while no source, or after its notifier went.
    Reader reader()
    {
        std::lock_guard<std::mutex> locker(m_lock);
        return m_notifier ? m_reader : Reader();
    }

private:
    std::mutex m_lock;
    QPointer<QObject> m_notifier;
    Reader m_reader;
};
