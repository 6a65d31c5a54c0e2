#pragma once

#include <QByteArray>

#include <optional>

// Reads frames the way the machine does: by their length field, since
// firmware payloads carry 0x02 and 0x03 bytes. Bytes that cannot start a
// valid frame are skipped one at a time until a frame lines up again.
class LengthFrameReader
{
public:
    static constexpr qsizetype kMaxFrame = 64 * 1024 * 1024;

    void feed(const char *data, qsizetype size) { m_buffer.append(data, size); }
    // The payload of the next complete frame, or none until more bytes come.
    std::optional<QByteArray> next();
    qsizetype buffered() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};
