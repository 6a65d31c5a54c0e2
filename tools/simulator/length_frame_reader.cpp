#include "tools/simulator/length_frame_reader.h"

#include <cctype>

namespace {
constexpr char kStart = 0x02;
constexpr char kEnd = 0x03;
constexpr qsizetype kMaxDigits = 9;
} // namespace

std::optional<QByteArray> LengthFrameReader::next()
{
    for (;;) {
        const qsizetype start = m_buffer.indexOf(kStart);
        if (start < 0) {
            m_buffer.clear();
            return std::nullopt;
        }
        m_buffer.remove(0, start);
        qsizetype i = 1;
        while (i < m_buffer.size() && i <= kMaxDigits + 1 && std::isdigit(static_cast<unsigned char>(m_buffer.at(i))))
            ++i;
        if (i == m_buffer.size() && i <= kMaxDigits + 1)
            return std::nullopt; // length field not complete yet
        const qsizetype digitCount = i - 1;
        bool valid = digitCount >= 1 && digitCount <= kMaxDigits && m_buffer.at(i) == ';';
        qsizetype length = 0;
        if (valid) {
            length = m_buffer.mid(1, digitCount).toLongLong();
            // The smallest frame is 0x02, the digits, ';' and 0x03.
            valid = length >= digitCount + 3 && length <= kMaxFrame;
        }
        if (valid && m_buffer.size() < length)
            return std::nullopt;
        if (valid && m_buffer.at(length - 1) == kEnd) {
            QByteArray payload = m_buffer.mid(i + 1, length - i - 2);
            m_buffer.remove(0, length);
            return payload;
        }
        m_buffer.remove(0, 1); // resynchronise at the next 0x02
    }
}
