#include "vision/image_provider.h"

#include <QDateTime>
#include <QPixmap>

#include <atomic>

ImageProvider::ImageProvider(Source source)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_source(std::move(source))
{
}

ImageProvider::~ImageProvider() = default;

QImage ImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    Q_UNUSED(requestedSize);
    const QImage image = m_source ? m_source(QStringLiteral("image://%1/").arg(QLatin1String(kId)) + id) : QImage();
    if (size)
        *size = image.size();
    return image;
}

QPixmap ImageProvider::requestPixmap(const QString &id, QSize *size, const QSize &requestedSize)
{
    const QImage image = requestImage(id, size, requestedSize);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

qint64 ImageProvider::nextImageId()
{
    static std::atomic<qint64> s_last{0};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 last = s_last.load();
    qint64 next = 0;
    do {
        next = now > last ? now : last + 1;
    } while (!s_last.compare_exchange_weak(last, next));
    return next;
}

QString ImageProvider::nextImageUrl()
{
    return QStringLiteral("image://%1/%2").arg(QLatin1String(kId)).arg(nextImageId());
}
