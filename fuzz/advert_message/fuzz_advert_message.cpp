// Any payload of the advertisement topic through its reader: no crash, and
// a picture list only from a message within the size cap.
#include "online/advert_message.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const AdvertMessage message = AdvertMessage::parse(payload);
    if (message.tooLarge != (payload.size() > AdvertMessage::kMaxBytes))
        std::abort();
    if (message.showsPictures() && (message.tooLarge || message.links.isEmpty()))
        std::abort();
    return 0;
}
