#pragma once

#include <QQuickImageProvider>

#include <functional>

// The pictures QML shows that the program makes itself (print preview,
// camera frame), under "image://myImage/<id>". The source answers a full
// image URL with the picture stored under it, or a null image.
class ImageProvider : public QQuickImageProvider
{
public:
    using Source = std::function<QImage(const QString &url)>;

    static constexpr const char *kId = "myImage";

    explicit ImageProvider(Source source);
    ~ImageProvider() override;

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
    QPixmap requestPixmap(const QString &id, QSize *size, const QSize &requestedSize) override;

    // A new address for a new picture: "image://myImage/" and an id that is
    // the clock in ms, or one more than the last id handed out when the clock
    // has not moved on, so QML always sees a new URL.
    static QString nextImageUrl();
    static qint64 nextImageId();

private:
    Source m_source;
};
