#include "app/cut/template_file_writer.h"

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

TemplateFileWriter::TemplateFileWriter()
    : m_thread(&TemplateFileWriter::run, this)
{
}

TemplateFileWriter::~TemplateFileWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TemplateFileWriter::write(const QString &path, const QImage &image)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.insert(target, image);
    }
    m_wake.notify_all();
}

void TemplateFileWriter::waitIdle()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_idle.wait(lock, [this] { return m_pending.isEmpty() && !m_writing; });
}

void TemplateFileWriter::run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.isEmpty(); });
        if (m_pending.isEmpty()) // stopping with nothing left
            return;
        const QString path = m_pending.firstKey();
        const QImage image = m_pending.take(path);
        m_writing = true;
        lock.unlock();
        // Whole or not at all: a reader never sees half a picture.
        QSaveFile file(path);
        const bool ok = !image.isNull() && file.open(QIODevice::WriteOnly) && image.save(&file, "PNG")
            && file.commit();
        if (!ok)
            qCritical() << "SpoolsmithApp::loadTemplate" << "cannot write" << path << file.errorString();
        lock.lock();
        m_writing = false;
        if (m_pending.isEmpty())
            m_idle.notify_all();
    }
}
