#pragma once

#include <QByteArray>
#include <QStringList>

// One message of the advertisement topic, as read from its JSON payload.
struct AdvertMessage
{
    // Larger payloads are not parsed: the pictures of a message are a few
    // addresses, and a huge one would hold the GUI thread.
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr int kCarouselType = 2;

    int type = -1;
    QStringList images;
    QStringList links;
    bool tooLarge = false;

    // A picture list to show: type 2 with a cover image.
    bool showsPictures() const { return type == kCarouselType && !images.isEmpty(); }

    // Anything not an object reads as an empty one (type -1). Pictures and
    // links are split at every ",", empty parts kept.
    static AdvertMessage parse(const QByteArray &payload);
};
