#pragma once

#include <QByteArray>

#include <mutex>

// The plot data (HPGL) the cut steps send: written by the cut-file code on
// the GUI thread and by the job steps on the task thread, read by the senders.
class PlotBuffer
{
public:
    QByteArray data() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_data;
    }
    void setData(const QByteArray &data)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_data = data;
    }
    void clear() { setData(QByteArray()); }

private:
    mutable std::mutex m_lock;
    QByteArray m_data;
};
