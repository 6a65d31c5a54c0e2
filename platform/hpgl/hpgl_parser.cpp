#include "platform/hpgl/hpgl_parser.h"

#include <QLineF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr char kEtx = '\x03';
constexpr char kEsc = '\x1b';

inline bool isAlpha(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline bool isNumberStart(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

inline bool isSeparator(char c)
{
    return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

inline char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

inline quint32 code(char a, char b)
{
    return (quint32(quint8(a)) << 8) | quint8(b);
}

constexpr quint32 cmd(const char (&s)[3])
{
    return (quint32(quint8(s[0])) << 8) | quint8(s[1]);
}

// Plain decimal numbers only: HPGL has no exponents, and refusing them keeps
// "1e999" from turning into infinity.
double readNumber(const char *&p, const char *end)
{
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    double value = 0.0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (value < HpglParser::kMaxCoordinate)
            value = value * 10.0 + (*p - '0');
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        double scale = 0.1;
        while (p < end && *p >= '0' && *p <= '9') {
            value += (*p - '0') * scale;
            scale *= 0.1;
            ++p;
        }
    }
    value = std::min(value, HpglParser::kMaxCoordinate);
    return negative ? -value : value;
}

double clampChord(double chordDeg)
{
    if (!(chordDeg > 0.0))
        return HpglParser::kDefaultChordDeg;
    return std::clamp(chordDeg, 0.5, 180.0);
}

QPointF clampPoint(const QPointF &p)
{
    const double m = HpglParser::kMaxCoordinate;
    return {std::clamp(p.x(), -m, m), std::clamp(p.y(), -m, m)};
}

} // namespace

bool HpglParser::looksBinary(const QByteArray &data)
{
    const qsizetype n = std::min<qsizetype>(data.size(), 4096);
    int controls = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = quint8(data.at(i));
        if (c == 0)
            return true;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != quint8(kEtx)
             && c != quint8(kEsc))
            || c == 0x7f)
            ++controls;
    }
    return n > 0 && controls * 50 > n;
}

void HpglParser::penUp()
{
    m_penDown = false;
}

void HpglParser::flush(const Sink &sink)
{
    if (m_current.points.size() >= 2 && sink)
        sink(m_current);
    m_current.points.clear();
}

void HpglParser::lineTo(const QPointF &target, const Sink &sink)
{
    const QPointF p = clampPoint(target);
    if (m_penDown) {
        if (m_current.points.isEmpty()) {
            m_current.pen = m_pen;
            m_current.points.append(m_pos);
        }
        m_current.points.append(p);
    } else {
        flush(sink);
    }
    m_pos = p;
}

void HpglParser::arc(const QPointF &centre, double sweepDeg, double chordDeg, const Sink &sink)
{
    const double radius = QLineF(centre, m_pos).length();
    if (!(radius > 0.0) || sweepDeg == 0.0)
        return;
    sweepDeg = std::clamp(sweepDeg, -360.0, 360.0);
    const double start = std::atan2(m_pos.y() - centre.y(), m_pos.x() - centre.x());
    const int steps = std::clamp(int(std::ceil(std::abs(sweepDeg) / clampChord(chordDeg))), 1, kMaxArcPoints);
    const double step = qDegreesToRadians(sweepDeg) / steps;
    for (int i = 1; i <= steps; ++i) {
        const double a = start + step * i;
        lineTo(centre + QPointF(radius * std::cos(a), radius * std::sin(a)), sink);
    }
}

void HpglParser::circle(double radius, double chordDeg, const Sink &sink)
{
    radius = std::abs(radius);
    if (!(radius > 0.0))
        return;
    // A circle is drawn pen down whatever the pen state, as its own polyline,
    // and leaves the pen at the centre in its old state.
    flush(sink);
    const QPointF centre = m_pos;
    const bool wasDown = m_penDown;
    const int steps = std::clamp(int(std::ceil(360.0 / clampChord(chordDeg))), 3, kMaxArcPoints);
    Polyline ring;
    ring.pen = m_pen;
    ring.points.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const double a = 2.0 * M_PI * i / steps;
        ring.points.append(clampPoint(centre + QPointF(radius * std::cos(a), radius * std::sin(a))));
    }
    if (sink)
        sink(ring);
    m_pos = centre;
    m_penDown = wasDown;
}

bool HpglParser::parse(const QByteArray &data, const Sink &sink)
{
    m_error.clear();
    if (data.isEmpty()) {
        m_error = QStringLiteral("empty file");
        return false;
    }
    if (looksBinary(data)) {
        m_error = QStringLiteral("binary data, not HPGL text");
        return false;
    }
    // Plot text is made of instructions; other text names one now and then
    // by chance ("index" holds IN, "paths" PA): told apart before anything
    // is delivered.
    read(data.left(kProbeBytes), nullptr);
    if (m_unknown > m_known) {
        m_error = QStringLiteral("text, not HPGL: %1 unknown words against %2 instructions in its first bytes")
                      .arg(m_unknown)
                      .arg(m_known);
        return false;
    }
    read(data, sink);
    if (m_known == 0) {
        m_error = QStringLiteral("no HPGL instruction found");
        return false;
    }
    return true;
}

void HpglParser::read(const QByteArray &data, const Sink &sink)
{
    m_header = Header();
    m_known = 0;
    m_unknown = 0;
    m_absolute = true;
    m_penDown = false;
    m_pen = 1;
    m_pos = QPointF();
    m_current = Polyline();

    const char *p = data.constData();
    const char *const end = p + data.size();
    QList<double> params;
    params.reserve(64);

    while (p < end) {
        const char c = *p;
        if (isSeparator(c) || c == ';' || c == kEtx) {
            ++p;
            continue;
        }
        if (c == kEsc) {
            // Device-control escapes (ESC . x params : / ESC E) carry no drawing.
            const char *stop = std::min(end, p + 64);
            ++p;
            if (p < end && *p != '.' && *p != '%') {
                ++p;
                continue;
            }
            p += (p + 2 <= end) ? 2 : (end - p);
            while (p < stop && *p != ':' && !isAlpha(*p))
                ++p;
            if (p < end)
                ++p;
            continue;
        }
        if (c == '!') { // "!PG" and friends: the same instruction
            ++p;
            if (p >= end)
                break;
        }
        if (!isAlpha(*p) || p + 1 >= end || !isAlpha(p[1])) {
            ++p; // stray byte: skipped
            continue;
        }
        const quint32 mnemonic = code(upper(p[0]), upper(p[1]));
        p += 2;

        if (mnemonic == cmd("LB")) {
            ++m_known;
            while (p < end && *p != kEtx)
                ++p;
            continue;
        }

        params.clear();
        while (p < end) {
            while (p < end && isSeparator(*p))
                ++p;
            if (p >= end || !isNumberStart(*p))
                break;
            params.append(readNumber(p, end));
        }
        if (p < end && *p == ';')
            ++p;

        auto movePairs = [&]() {
            for (qsizetype i = 0; i + 1 < params.size(); i += 2) {
                const QPointF v(params[i], params[i + 1]);
                lineTo(m_absolute ? v : m_pos + v, sink);
            }
        };

        switch (mnemonic) {
        case cmd("IN"):
            ++m_known;
            flush(sink);
            m_absolute = true;
            penUp();
            m_pos = QPointF();
            break;
        case cmd("DF"):
            ++m_known;
            m_absolute = true;
            break;
        case cmd("PA"):
            ++m_known;
            m_absolute = true;
            movePairs();
            break;
        case cmd("PR"):
            ++m_known;
            m_absolute = false;
            movePairs();
            break;
        case cmd("PU"):
            ++m_known;
            flush(sink);
            penUp();
            movePairs();
            break;
        case cmd("PD"):
            ++m_known;
            m_penDown = true;
            movePairs();
            break;
        case cmd("SP"):
            ++m_known;
            flush(sink);
            m_pen = params.isEmpty() ? 0 : int(std::clamp(params.first(), -1.0e6, 1.0e6));
            break;
        case cmd("PG"):
            ++m_known;
            flush(sink);
            break;
        case cmd("VS"):
        case cmd("FS"):
        case cmd("LT"):
        case cmd("VA"):
        case cmd("SC"):
        case cmd("IP"):
        case cmd("CT"):
        case cmd("DT"):
        case cmd("SI"):
        case cmd("PW"):
            ++m_known;
            break;
        case cmd("PS"):
            ++m_known;
            if (!m_header.hasPs())
                m_header.ps = params;
            break;
        case cmd("MD"):
            ++m_known;
            if (m_header.md.size() < 2)
                m_header.md.append(params);
            break;
        case cmd("AA"):
        case cmd("AR"):
            ++m_known;
            if (params.size() >= 3) {
                QPointF centre(params[0], params[1]);
                if (mnemonic == cmd("AR"))
                    centre += m_pos;
                arc(clampPoint(centre), params[2], params.size() >= 4 ? params[3] : 0.0, sink);
            }
            break;
        case cmd("CI"):
            ++m_known;
            if (!params.isEmpty())
                circle(params[0], params.size() >= 2 ? params[1] : 0.0, sink);
            break;
        default:
            ++m_unknown;
            break; // unknown instruction: its parameters are skipped
        }
    }
    flush(sink);
}
