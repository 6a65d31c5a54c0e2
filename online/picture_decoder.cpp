#include "online/picture_decoder.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

namespace {
// The decoder may need the whole picture at 4 bytes a pixel.
constexpr int kAllocationLimitMb = int(PictureDecoder::kMaxPixels * 4 / (1024 * 1024)) + 1;

// Scaled in the picture's proportions to at most keptPixels, never up.
QSize keptSize(const QSize &size, qint64 keptPixels)
{
    const double pixels = double(size.width()) * size.height();
    if (pixels <= double(keptPixels))
        return size;
    const double scale = std::sqrt(double(keptPixels) / pixels);
    return QSize(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))));
}
} // namespace

PictureDecoder::PictureDecoder(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(2);
}

PictureDecoder::~PictureDecoder()
{
    m_generation = ~quint64(0);
    m_pool.clear();
    m_pool.waitForDone();
}

void PictureDecoder::dropOlderThan(quint64 generation)
{
    m_generation = generation;
    m_pool.clear();
}

void PictureDecoder::decode(quint64 generation, int index, const QByteArray &data, qint64 keptPixels)
{
    m_pool.start([this, generation, index, data, keptPixels] {
        if (generation < m_generation)
            return;
        QByteArray bytes = data;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAllocationLimit(kAllocationLimitMb);
        const QSize original = reader.size();
        QImage image;
        QString failure;
        if (!original.isValid()) {
            failure = QStringLiteral("not a picture");
        } else if (qint64(original.width()) * original.height() > kMaxPixels) {
            failure = QStringLiteral("picture of %1 x %2 pixels refused").arg(original.width()).arg(original.height());
        } else {
            reader.setScaledSize(keptSize(original, keptPixels));
            if (!reader.read(&image))
                failure = QStringLiteral("not a picture");
        }
        emit decoded(generation, index, image, original, failure);
    });
}
