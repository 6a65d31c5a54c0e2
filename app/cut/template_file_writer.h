#pragma once

#include <QImage>
#include <QMap>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

// Writes the label template pictures off the calling thread: encoding one
// takes tens of milliseconds, longer than the rest of a template switch
// between two pages. The newest picture for a path replaces one still
// waiting, so the file always ends up holding the last template. The worker
// thread is this object's; it finishes what is waiting before it is joined.
class TemplateFileWriter
{
public:
    TemplateFileWriter();
    ~TemplateFileWriter();
    TemplateFileWriter(const TemplateFileWriter &) = delete;
    TemplateFileWriter &operator=(const TemplateFileWriter &) = delete;

    // A relative path is taken against the working directory of this call.
    void write(const QString &path, const QImage &image);
    // Returns once every picture handed in so far is on disk (or failed).
    void waitIdle();

private:
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    QMap<QString, QImage> m_pending; // by absolute path
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};
