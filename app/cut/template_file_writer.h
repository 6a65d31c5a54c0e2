#pragma once

#include <QImage>
#include <QMap>
#include <QString>

#include <QByteArray>

#include <condition_variable>
#include <memory>
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

    // A picture's file bytes, kept by whoever writes the same picture again:
    // encoded once, on the first write.
    struct Encoded
    {
        std::mutex lock;
        QByteArray png;
    };
    // A relative path is taken against the working directory of this call.
    void write(const QString &path, const QImage &image, std::shared_ptr<Encoded> encoded = {});
    // Returns once every picture handed in so far is on disk (or failed).
    void waitIdle();

private:
    struct Pending
    {
        QImage image;
        std::shared_ptr<Encoded> encoded;
    };
    static QByteArray encode(const Pending &pending);
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    QMap<QString, Pending> m_pending; // by absolute path
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};
