#include "app/cut/template_file_writer.h"

#include <QBuffer>
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

void TemplateFileWriter::write(const QString &path, const QImage &image, std::shared_ptr<Encoded> encoded)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.insert(target, Pending{image, std::move(encoded)});
    }
    m_wake.notify_all();
}

void TemplateFileWriter::waitIdle()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_idle.wait(lock, [this] { return m_pending.isEmpty() && !m_writing; });
}

QByteArray TemplateFileWriter::encode(const Pending &pending)
{
    if (pending.encoded) {
        std::lock_guard<std::mutex> lock(pending.encoded->lock);
        if (!pending.encoded->png.isEmpty())
            return pending.encoded->png;
    }
    QByteArray png;
    QBuffer buffer(&png);
    // Held compact, written as rendered.
    const QImage image = pending.image.format() == QImage::Format_Mono
                             ? pending.image.convertToFormat(QImage::Format_RGB888)
                             : pending.image;
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    if (pending.encoded) {
        std::lock_guard<std::mutex> lock(pending.encoded->lock);
        pending.encoded->png = png;
    }
    return png;
}

void TemplateFileWriter::run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.isEmpty(); });
        if (m_pending.isEmpty()) // stopping with nothing left
            return;
        const QString path = m_pending.firstKey();
        const Pending next = m_pending.take(path);
        m_writing = true;
        lock.unlock();
        const QByteArray png = encode(next);
        // Whole or not at all: a reader never sees half a picture.
        QSaveFile file(path);
        const bool ok = !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size()
            && file.commit();
        if (!ok)
            qCritical() << "SpoolsmithApp::loadTemplate" << "cannot write" << path << file.errorString();
        lock.lock();
        m_writing = false;
        if (m_pending.isEmpty())
            m_idle.notify_all();
    }
}
