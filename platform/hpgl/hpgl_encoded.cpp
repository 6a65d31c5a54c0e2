// PE, polyline encoded: coordinates as base-64 numbers (base 32 in 7-bit
// mode) whose last digit marks their end, relative unless flagged absolute,
// pen down unless flagged up.
#include "platform/hpgl/hpgl_parser.h"

#include "platform/hpgl/hpgl_text.h"

#include <algorithm>
#include <cmath>

namespace {
// Digits beyond this many bits of a number are dropped: no coordinate
// needs them, and they would overflow.
constexpr int kValueBits = 60;
} // namespace

bool HpglParser::readEncoded(const char *&p, const char *end)
{
    enum class Next { Coordinate, Pen, Fraction } next = Next::Coordinate;
    bool sevenBit = false, penUp = false, absolute = false, haveX = false;
    int fraction = 0;
    double x = 0.0;
    quint64 value = 0;
    int digits = 0;
    int values = 0;
    for (qsizetype n = 0; p < end && !m_failed; ++n) {
        if ((n & 0xffff) == 0xffff && m_stop && m_stop->load(std::memory_order_relaxed)) {
            m_stopped = m_failed = true;
            return true;
        }
        const quint8 raw = quint8(*p);
        if (raw == ';') {
            ++p;
            return true;
        }
        if (raw == quint8(HpglText::kEsc))
            return true;
        const quint8 b = sevenBit ? (raw & 0x7f) : raw;
        int digit = -1;
        bool last = false;
        if (b >= 63 && b <= 126) {
            last = sevenBit && b >= 95;
            digit = b - (last ? 95 : 63);
        } else if (!sevenBit && b >= 191 && b <= 254) {
            last = true;
            digit = b - 191;
        }
        if (digit < 0) {
            // Flags keep their meaning with the eighth bit set; spaces,
            // controls and 128-160 are ignored; anything else ends PE.
            const char flag = char(raw & 0x7f);
            if (raw <= 0x20 || raw == 0x7f || raw == 0xff || (raw >= 0x80 && raw <= 0xa0)) {
                ++p;
                continue;
            }
            if (flag == ':')
                next = Next::Pen;
            else if (flag == '>')
                next = Next::Fraction;
            else if (flag == '<')
                penUp = true;
            else if (flag == '=')
                absolute = true;
            else if (flag == '7')
                sevenBit = true;
            else
                return values > 0; // text that happens to follow "pe" decodes to nothing

            ++p;
            continue;
        }
        ++p;
        const int bits = sevenBit ? 5 : 6;
        if (digits * bits + bits <= kValueBits)
            value |= quint64(digit) << (digits * bits);
        ++digits;
        if (!last)
            continue;
        // The lowest bit is the sign.
        double v = double(value >> 1);
        if (value & 1)
            v = -v;
        value = 0;
        digits = 0;
        ++values;
        if (next == Next::Pen) {
            flush();
            m_pen = int(std::clamp(v, -1.0e6, 1.0e6));
            next = Next::Coordinate;
            continue;
        }
        if (next == Next::Fraction) {
            fraction = int(std::clamp(v, -26.0, 26.0));
            next = Next::Coordinate;
            continue;
        }
        v = std::ldexp(v, -fraction);
        if (!haveX) {
            x = v;
            haveX = true;
            continue;
        }
        haveX = false;
        if (penUp)
            flush();
        m_penDown = !penUp;
        if (!move(QPointF(x, v), absolute))
            return true;
        penUp = absolute = false;
    }
    return true;
}
