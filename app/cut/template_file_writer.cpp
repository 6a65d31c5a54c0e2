#include "app/cut/template_file_writer.h"

#include <QBuffer>
#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

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

namespace {
// Qt's own conversion from grey to one bit goes through a picture of four
// bytes a pixel: a page of 200 million pixels would take 800 MB on the way.
QImage oneBitOf(const QImage &grey)
{
    QImage bits(grey.size(), QImage::Format_Mono);
    if (bits.isNull())
        return bits;
    bits.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    bits.setDotsPerMeterX(grey.dotsPerMeterX());
    bits.setDotsPerMeterY(grey.dotsPerMeterY());
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *from = grey.constScanLine(y);
        uchar *to = bits.scanLine(y);
        std::fill(to, to + bits.bytesPerLine(), uchar(0));
        for (int x = 0; x < grey.width(); ++x)
            to[x >> 3] |= uchar((from[x] >= 128 ? 0x80 : 0) >> (x & 7));
    }
    return bits;
}
} // namespace

QByteArray TemplateFileWriter::encode(const Pending &pending)
{
    if (pending.encoded) {
        std::lock_guard<std::mutex> lock(pending.encoded->lock);
        if (!pending.encoded->png.isEmpty())
            return pending.encoded->png;
    }
    QByteArray png;
    QBuffer buffer(&png);
    // Black and white only: written one bit a pixel, which compresses many
    // times faster than a byte a pixel, and takes an eighth of the page.
    const QImage image = pending.image.format() == QImage::Format_Grayscale8 ? oneBitOf(pending.image) : pending.image;
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
