#include "platform/hpgl/hpgl_parser.h"

#include "platform/hpgl/hpgl_text.h"

#include <QLineF>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using HpglText::cmd;

namespace {

constexpr char kEtx = '\x03';
constexpr char kEsc = HpglText::kEsc;
// A run of NULs this long is padding, not content.
constexpr qsizetype kPaddingRun = 4;

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

QPointF pairAt(const QList<double> &params, qsizetype i)
{
    return {params[i], params[i + 1]};
}

} // namespace

bool HpglParser::parse(const QByteArray &data, const Sink &sink)
{
    m_error.clear();
    m_uncut.clear();
    if (data.isEmpty()) {
        m_error = QStringLiteral("empty file");
        return false;
    }
    const QString format = HpglText::foreignFormat(data);
    if (!format.isEmpty()) {
        m_error = format + QStringLiteral(", not HPGL");
        return false;
    }
    // Plot text is made of instructions; other text names one now and then
    // by chance ("index" holds IN, "paths" PA): told apart, once HPGL's own
    // text is skipped, before anything is delivered.
    read(data.left(kProbeBytes), Sink());
    if (m_stopped) {
        m_error = QStringLiteral("stopped");
        return false;
    }
    if (!m_foreign.isEmpty()) {
        m_error = m_foreign;
        return false;
    }
    if (m_controls * 50 > m_scanned) {
        m_error = QStringLiteral("binary data, not HPGL text");
        return false;
    }
    if (m_unknown > m_known) {
        m_error = QStringLiteral("text, not HPGL: %1 unknown words against %2 instructions in its first bytes")
                      .arg(m_unknown)
                      .arg(m_known);
        return false;
    }
    read(data, sink);
    if (m_stopped)
        m_error = QStringLiteral("stopped");
    else if (!m_foreign.isEmpty())
        m_error = m_foreign;
    else if (!m_failed && m_known == 0)
        m_error = QStringLiteral("no HPGL instruction found");
    return !m_stopped && !m_failed && m_error.isEmpty();
}

void HpglParser::resetState(bool initialise)
{
    if (!initialise) {
        m_header = Header();
        m_known = m_unknown = 0;
        m_controls = m_scanned = 0;
        m_failed = m_stopped = false;
        m_error.clear();
        m_uncut.clear();
        m_foreign.clear();
        m_units = HpglUnits();
        m_pen = 1;
        m_current = Polyline();
        m_lastShape.clear();
    } else {
        flush();
        m_units.reset();
    }
    m_absolute = true;
    m_penDown = false;
    m_pos = QPointF();
    m_terminator = kEtx;
    m_chordDeviation = false;
    m_tickPlus = m_tickMinus = 0.5;
    m_lost = nullptr;
    m_polygonMode = false;
    m_polygon.clear();
}

bool HpglParser::fail(const char *instruction)
{
    if (m_failed)
        return false;
    m_failed = true;
    m_uncut = QString::fromLatin1(instruction);
    m_error = QStringLiteral("draws from where %1 left the pen, which the reader cannot place (the end of its text)")
                  .arg(m_uncut);
    return false;
}

QPointF HpglParser::target(const QPointF &v, bool absolute) const
{
    if (m_units.identity())
        return absolute ? v : m_pos + v;
    return absolute ? m_units.toPlotter(v) : m_pos + m_units.deltaToPlotter(v);
}

bool HpglParser::move(const QPointF &v, bool absolute)
{
    // A line from where a label left the pen cannot be placed.
    if (m_lost) {
        if (m_penDown)
            return fail(m_lost);
        if (absolute)
            m_lost = nullptr;
    }
    lineTo(target(v, absolute));
    return true;
}

void HpglParser::lineTo(const QPointF &target)
{
    const QPointF p = clampPoint(target);
    if (Q_UNLIKELY(m_polygonMode)) {
        polygonTo(p);
    } else if (m_penDown) {
        if (m_current.points.isEmpty()) {
            m_current.pen = m_pen;
            m_current.points.append(m_pos);
        }
        m_current.points.append(p);
    } else {
        flush();
    }
    m_pos = p;
}

void HpglParser::polygonTo(const QPointF &p)
{
    SubPolygon &sub = m_polygon.last();
    if (sub.points.size() == 1 && !m_penDown) {
        sub.points[0] = p; // a subpolygon starts where the pen is put
    } else {
        sub.points.append(p);
        sub.down.append(m_penDown);
    }
}

void HpglParser::flush()
{
    if (m_current.points.size() >= 2) {
        if (!m_units.window() && *m_sink)
            (*m_sink)(m_current);
        else
            deliver(m_current.points);
        if (!m_lastShape.isEmpty())
            m_lastShape.clear();
    }
    m_current.points.clear();
}

void HpglParser::deliver(const QPolygonF &points)
{
    if (!*m_sink)
        return;
    Polyline line;
    line.pen = m_current.points.isEmpty() ? m_pen : m_current.pen;
    if (!m_units.window()) {
        line.points = points;
        (*m_sink)(line);
        return;
    }
    for (const QPolygonF &piece : HpglShapes::clip(points, *m_units.window())) {
        line.points = piece;
        (*m_sink)(line);
    }
}

void HpglParser::shape(const QList<QPolygonF> &outlines)
{
    flush();
    // Filled, then edged (or the other way round): one outline to cut.
    if (outlines.isEmpty() || outlines == m_lastShape)
        return;
    for (const QPolygonF &outline : outlines)
        if (outline.size() >= 2)
            deliver(outline);
    m_lastShape = outlines;
}

bool HpglParser::needPosition(bool draws)
{
    if (!m_lost)
        return true;
    if (draws)
        fail(m_lost);
    return false;
}

void HpglParser::instruction(quint32 mnemonic, const QList<double> &params)
{
    const double first = params.isEmpty() ? 0.0 : params[0];
    switch (mnemonic) {
    case cmd("IN"):
        ++m_known;
        resetState(true);
        break;
    case cmd("DF"):
        ++m_known;
        flush();
        m_absolute = true;
        m_units.scaleOff();
        m_units.setWindow({});
        m_terminator = kEtx;
        m_tickPlus = m_tickMinus = 0.5;
        m_polygonMode = false;
        m_polygon.clear();
        break;
    case cmd("SP"):
        ++m_known;
        flush();
        m_pen = params.isEmpty() ? 0 : int(std::clamp(first, -1.0e6, 1.0e6));
        break;
    case cmd("PG"):
    case cmd("AF"):
    case cmd("AH"):
    case cmd("FR"):
        ++m_known;
        flush();
        break;
    case cmd("PS"):
        ++m_known;
        if (!m_header.hasPs())
            m_header.ps = params;
        if (!params.isEmpty())
            m_units.setFrame(params);
        break;
    case cmd("MD"):
        ++m_known;
        if (m_header.md.size() < 2)
            m_header.md.append(params);
        break;
    case cmd("IP"):
    case cmd("IR"):
        ++m_known;
        m_units.setInputPoints(params, mnemonic == cmd("IR"));
        break;
    case cmd("SC"):
        ++m_known;
        if (params.size() < 4)
            m_units.scaleOff();
        else
            m_units.setScale(params);
        break;
    case cmd("RO"):
        ++m_known;
        m_units.setRotation(first);
        break;
    case cmd("IW"):
        ++m_known;
        m_units.setWindow(params);
        break;
    case cmd("CT"):
        ++m_known;
        m_chordDeviation = int(first) == 1;
        break;
    case cmd("TL"):
        ++m_known;
        m_tickPlus = params.isEmpty() ? 0.5 : first;
        m_tickMinus = params.size() >= 2 ? params[1] : (params.isEmpty() ? 0.5 : 0.0);
        break;
    case cmd("AA"):
    case cmd("AR"):
        ++m_known;
        if (params.size() >= 3 && needPosition(m_penDown)) {
            const QPointF centre = pairAt(params, 0);
            arcTo(mnemonic == cmd("AR") ? m_units.toUser(m_pos) + centre : centre, params[2],
                  params.size() >= 4 ? params[3] : 0.0);
        }
        break;
    case cmd("AT"):
    case cmd("RT"):
        ++m_known;
        if (params.size() >= 4 && needPosition(m_penDown)) {
            const QPointF here = mnemonic == cmd("RT") ? m_units.toUser(m_pos) : QPointF();
            threePointArc(here + pairAt(params, 0), here + pairAt(params, 2), params.size() >= 5 ? params[4] : 0.0);
            if (mnemonic == cmd("AT"))
                m_lost = nullptr;
        }
        break;
    case cmd("BZ"):
    case cmd("BR"):
        ++m_known;
        for (qsizetype i = 0; i + 5 < params.size() && !m_failed; i += 6) {
            if (!needPosition(m_penDown))
                break;
            const QPointF start = m_pos;
            QPointF c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = mnemonic == cmd("BR") ? start + m_units.deltaToPlotter(pairAt(params, i + 2 * k))
                                             : m_units.toPlotter(pairAt(params, i + 2 * k));
            for (const QPointF &pt : HpglShapes::bezier(start, c[0], c[1], c[2]))
                lineTo(pt);
        }
        break;
    case cmd("CI"):
        ++m_known;
        if (!params.isEmpty() && needPosition(true))
            circle(first, params.size() >= 2 ? params[1] : 0.0);
        break;
    case cmd("EA"):
    case cmd("ER"):
    case cmd("RA"):
    case cmd("RR"):
        ++m_known;
        if (params.size() >= 2 && !m_polygonMode && needPosition(true)) {
            const bool relative = mnemonic == cmd("ER") || mnemonic == cmd("RR");
            const QPointF v = pairAt(params, 0);
            rectangle(relative ? m_units.toUser(m_pos) + v : v, mnemonic == cmd("RA") || mnemonic == cmd("RR"));
        }
        break;
    case cmd("EW"):
    case cmd("WG"):
        ++m_known;
        if (params.size() >= 3 && !m_polygonMode && needPosition(true))
            wedge(first, params[1], params[2], params.size() >= 4 ? params[3] : 0.0, mnemonic == cmd("WG"));
        break;
    case cmd("PM"):
        ++m_known;
        polygonMode(int(first));
        break;
    case cmd("EP"):
    case cmd("FP"):
        ++m_known;
        polygon(mnemonic == cmd("FP"));
        break;
    case cmd("XT"):
    case cmd("YT"):
        ++m_known;
        if (needPosition(true))
            tick(mnemonic == cmd("XT"));
        break;
    case cmd("CP"):
    case cmd("PB"):
    case cmd("UC"):
        ++m_known;
        if (!m_polygonMode)
            m_lost = mnemonic == cmd("CP") ? "CP" : mnemonic == cmd("PB") ? "PB" : "UC";
        break;
    default:
        if (HpglText::isInstruction(mnemonic))
            ++m_known; // draws nothing to cut: attributes, text settings, plotter settings
        else
            ++m_unknown; // its parameters are skipped
        break;
    }
}

void HpglParser::read(const QByteArray &data, const Sink &sink)
{
    resetState(false);
    m_sink = &sink;
    HpglText::Wrapper wrapper;

    const char *p = data.constData();
    const char *const end = p + data.size();
    m_scanned = data.size();
    std::vector<double> params; // the lines' numbers; other instructions get a copy
    params.reserve(256);
    quint32 count = 0;

    while (p < end) {
        const char c = *p;
        if (isSeparator(c) || c == ';' || c == kEtx) {
            ++p;
            continue;
        }
        if (c == kEsc) {
            HpglText::skipEscape(p, end, wrapper);
            if (wrapper.reset) {
                wrapper.reset = false;
                resetState(true); // the printer's reset is an IN
            }
            if (!wrapper.foreign.isEmpty()) {
                m_foreign = QStringLiteral("a PJL job in %1, not HPGL").arg(wrapper.foreign);
                m_failed = true;
                break;
            }
            if (wrapper.pcl) {
                // PCL's own data: only its escape sequences lead back.
                const char *esc = static_cast<const char *>(std::memchr(p, kEsc, size_t(end - p)));
                p = esc ? esc : end;
            }
            continue;
        }
        if (c == '!') { // "!PG" and friends: the same instruction
            ++p;
            if (p >= end)
                break;
        }
        if (!isAlpha(*p) || p + 1 >= end || !isAlpha(p[1])) {
            // A stray byte is skipped; control bytes count against plot
            // text, a run of NULs is padding.
            const quint8 b = quint8(*p);
            if (b == 0) {
                const char *q = p;
                while (q < end && *q == '\0')
                    ++q;
                if (q - p < kPaddingRun)
                    m_controls += q - p;
                else
                    m_scanned -= q - p;
                p = q;
                continue;
            }
            if (b < 0x20 || b == 0x7f)
                ++m_controls;
            ++p;
            continue;
        }
        // A longer run of letters is glued instructions ("INPU") only when
        // every pair of it is one, up to one that takes text ("LBtext");
        // else it is a word, not plot text.
        const char *run = p + 2;
        while (run < end && isAlpha(*run))
            ++run;
        if (run - p > 2 && !HpglText::gluedInstructions(p, run)) {
            m_unknown += int((run - p) / 2);
            p = run;
            continue;
        }
        const quint32 mnemonic = HpglText::mnemonic(p[0], p[1]);
        p += 2;
        if ((count++ & 0xfff) == 0 && m_stop && m_stop->load(std::memory_order_relaxed)) {
            m_stopped = true;
            break;
        }

        // Instructions whose parameters are text.
        switch (mnemonic) {
        case cmd("LB"):
        case cmd("BL"):
        case cmd("WD"): {
            ++m_known;
            const char *t = static_cast<const char *>(std::memchr(p, m_terminator, size_t(end - p)));
            p = t ? t + 1 : end;
            if (mnemonic == cmd("LB") && !m_polygonMode)
                m_lost = "LB"; // the pen ends where the text ends
            continue;
        }
        case cmd("DT"):
            ++m_known;
            m_terminator = kEtx;
            if (p < end && *p != ';' && *p != kEsc && *p != '\n' && *p != '\0')
                m_terminator = *p++;
            while (p < end && (isSeparator(*p) || isNumberStart(*p)))
                ++p;
            if (p < end && *p == ';')
                ++p;
            continue;
        case cmd("CO"): { // a comment, quoted, or by some writers up to the ";"
            const char *q = p;
            while (q < end && (*q == ' ' || *q == '\t'))
                ++q;
            if (q < end && *q != '"' && *q != ';') {
                ++m_known;
                const char *semicolon = static_cast<const char *>(std::memchr(q, ';', size_t(end - q)));
                p = semicolon ? semicolon + 1 : end;
                continue;
            }
            break;
        }
        case cmd("SM"): // a symbol character, drawn at each point: text
            ++m_known;
            if (p < end && quint8(*p) > 0x20 && *p != ';')
                ++p;
            if (p < end && *p == ';')
                ++p;
            continue;
        case cmd("PE"): {
            const char *data = p;
            if (readEncoded(p, end)) {
                ++m_known;
            } else {
                p = data;
                ++m_unknown;
            }
            if (m_failed)
                p = end;
            continue;
        }
        default:
            break;
        }

        // Numbers and quoted strings (CO, BP): any instruction's parameters.
        params.clear();
        while (p < end) {
            while (p < end && isSeparator(*p))
                ++p;
            if (p >= end)
                break;
            if (!isNumberStart(*p)) {
                if (*p != '"')
                    break;
                const char *q = static_cast<const char *>(std::memchr(p + 1, '"', size_t(end - p - 1)));
                p = q ? q + 1 : end;
                continue;
            }
            params.push_back(readNumber(p, end));
        }
        if (p < end && *p == ';')
            ++p;

        const auto movePairs = [&]() {
            for (size_t i = 0; i + 1 < params.size(); i += 2)
                if (!move(QPointF(params[i], params[i + 1]), m_absolute))
                    return;
        };
        // The lines, which most files are made of, here; the rest apart.
        switch (mnemonic) {
        case cmd("PU"):
            ++m_known;
            flush();
            m_penDown = false;
            movePairs();
            break;
        case cmd("PD"):
            ++m_known;
            m_penDown = true;
            movePairs();
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
        default:
            instruction(mnemonic, QList<double>(params.cbegin(), params.cend()));
            break;
        }
        if (m_failed)
            break;
    }
    if (!m_failed)
        flush();
    m_sink = nullptr;
}
