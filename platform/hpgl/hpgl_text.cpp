#include "platform/hpgl/hpgl_text.h"

#include <QByteArrayList>
#include <QLatin1String>

#include <algorithm>
#include <array>
#include <cstring>

namespace HpglText {

namespace {

// HP-GL (the pen plotters' language), HP-GL/2 and its RTL and PCL 5 forms,
// and the cut-file header's PS and MD.
constexpr const char kInstructions[] =
    "AA AC AD AF AH AP AR AS AT BF BL BP BR BZ CA CC CF CI CM CO CP CR CS CT CV DC DF DI DL DP DR DS DT DV "
    "EA EC EP ER ES EW FI FN FP FR FS FT GC GM GP IM IN IP IR IV IW KY LA LB LM LO LT MC MD MG MT NP NR "
    "OA OC OD OE OF OG OH OI OL OO OP OS OT OW PA PB PC PD PE PG PM PP PR PS PT PU PW QL RA RF RO RP RR RT "
    "SA SB SC SD SG SI SL SM SP SR SS ST SV TD TL TR UC UF UL VA VN VS WD WG WU XT YT";

const std::array<bool, 26 * 26> &table()
{
    static const std::array<bool, 26 * 26> known = [] {
        std::array<bool, 26 * 26> t{};
        for (const char *p = kInstructions; p[0] && p[1]; p += 3) {
            t[size_t((p[0] - 'A') * 26 + (p[1] - 'A'))] = true;
            if (!p[2])
                break;
        }
        return t;
    }();
    return known;
}

bool startsWith(const char *p, const char *end, const char *text)
{
    const size_t n = std::strlen(text);
    return size_t(end - p) >= n && std::memcmp(p, text, n) == 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A PCL value ([+-]digits[.digits]) from q on; its whole part, bounded.
long long pclValue(const char *&q, const char *end)
{
    if (q < end && (*q == '+' || *q == '-'))
        ++q;
    long long value = 0;
    for (int digits = 0; q < end && isDigit(*q); ++digits, ++q)
        if (digits < 12)
            value = value * 10 + (*q - '0');
    if (q < end && *q == '.')
        for (++q; q < end && isDigit(*q);)
            ++q;
    return value;
}

// "@PJL ..." lines up to the language's data. A job entering a language
// that carries no plot text is named.
void skipPjl(const char *&p, const char *end, Wrapper &wrapper)
{
    for (;;) {
        const char *q = p;
        while (q < end && (*q == '\r' || *q == '\n' || *q == ' ' || *q == '\t'))
            ++q;
        if (!startsWith(q, end, "@PJL"))
            return;
        const char *eol = static_cast<const char *>(std::memchr(q, '\n', size_t(end - q)));
        const char *lineEnd = eol ? eol : end;
        QByteArray line = QByteArray(q, lineEnd - q).toUpper();
        line.replace(' ', "");
        line.replace('\t', "");
        line.replace('\r', "");
        if (line.startsWith("@PJLENTERLANGUAGE=")) {
            const QByteArray language = line.mid(18);
            if (language.startsWith("PCL") && !language.startsWith("PCLXL"))
                wrapper.pcl = true;
            else if (language.startsWith("HPGL") || language.startsWith("HP-GL"))
                wrapper.pcl = false;
            else if (language == "POSTSCRIPT" || language == "PDF" || language.startsWith("PCLXL")
                     || language == "XPS" || language == "PJL")
                wrapper.foreign = QString::fromLatin1(language);
        }
        p = eol ? eol + 1 : end;
    }
}

} // namespace

bool isInstruction(quint32 mnemonic)
{
    const int a = int(mnemonic >> 8) - 'A', b = int(mnemonic & 0xff) - 'A';
    return a >= 0 && a < 26 && b >= 0 && b < 26 && table()[size_t(a * 26 + b)];
}

bool gluedInstructions(const char *p, const char *end)
{
    // Text follows a label's or a terminator's mnemonic only at the start of
    // a run ("LBtext"): a word such as "passwd" holds PA, SS and WD. Encoded
    // data (PE) tells itself apart by what it decodes.
    for (const char *q = p; q + 1 < end; q += 2) {
        const quint32 m = mnemonic(q[0], q[1]);
        if (!isInstruction(m))
            return false;
        const bool text = m == cmd("LB") || m == cmd("BL") || m == cmd("WD") || m == cmd("DT") || m == cmd("SM");
        if (text)
            return q == p;
        if (m == cmd("PE"))
            return true;
        if (q + 2 == end)
            return true;
    }
    return false; // a letter left over
}

void skipEscape(const char *&p, const char *end, Wrapper &wrapper)
{
    ++p; // ESC
    if (p >= end)
        return;
    const char c = *p;
    if (c == '%') {
        // ESC % [-]digits letter: A into PCL, B into HP-GL/2, X the universal exit.
        const char *q = p + 1;
        pclValue(q, end);
        if (q >= end) {
            p = end;
            return;
        }
        const char kind = *q;
        p = q + 1;
        if (kind == 'A')
            wrapper.pcl = true;
        else if (kind == 'B')
            wrapper.pcl = false;
        else if (kind == 'X') {
            wrapper.pcl = false;
            skipPjl(p, end, wrapper);
        } else
            p = q; // not a mode switch: the letter is read again
        return;
    }
    if (c == '.') {
        // Device control: ESC . letter [numbers separated by ;] [:].
        p = std::min(end, p + 2);
        const char *q = p;
        while (q < end && q - p < 64 && (isDigit(*q) || *q == ';' || *q == ',' || *q == ' ' || *q == '-'))
            ++q;
        if (q < end && *q == ':')
            p = q + 1;
        return;
    }
    if (c >= 0x21 && c <= 0x2f) {
        // PCL parameterised: ESC p [group] (value param)* value Term; a "W"
        // (and "&p#X") carries that many bytes of data after it.
        const char parameterised = c;
        ++p;
        char group = 0;
        if (p < end && ((*p >= 0x60 && *p <= 0x7e)))
            group = *p++;
        for (int fields = 0; p < end && fields < 32; ++fields) {
            const char *q = p;
            const long long value = pclValue(q, end);
            if (q >= end) {
                p = end;
                return;
            }
            const char t = *q;
            p = q + 1;
            const bool data = t == 'W' || t == 'w' || (parameterised == '&' && group == 'p' && (t == 'X' || t == 'x'));
            if (data)
                p += std::min<long long>(value, end - p);
            if (t >= 0x40 && t <= 0x5e)
                return; // terminating character
            if (!(t >= 0x60 && t <= 0x7e)) {
                p = q; // not PCL after all
                return;
            }
        }
        return;
    }
    if (c == 'E')
        wrapper.reset = true;
    if (c >= 0x30 && c <= 0x7e)
        ++p; // two-character escape (ESC E, ESC 9, ...)
}

QString foreignFormat(const QByteArray &data)
{
    QByteArray head = data.left(4096);
    if (head.startsWith("\xef\xbb\xbf"))
        head = head.mid(3);
    const auto starts = [&head](const char *s, int n) { return head.size() >= n && std::memcmp(head.constData(), s, size_t(n)) == 0; };
    if (starts("\xff\xfe", 2) || starts("\xfe\xff", 2))
        return QStringLiteral("UTF-16 text");
    if (starts("%PDF-", 5))
        return QStringLiteral("a PDF document");
    if (starts("%!", 2))
        return QStringLiteral("a PostScript document");
    if (starts("\x1f\x8b", 2))
        return QStringLiteral("gzip-compressed data");
    if (starts("\x89PNG", 4))
        return QStringLiteral("a PNG picture");
    if (starts("\xff\xd8\xff", 3))
        return QStringLiteral("a JPEG picture");
    if (starts("GIF8", 4) || starts("II*\0", 4) || starts("MM\0*", 4))
        return QStringLiteral("a GIF or TIFF picture");
    if (starts("PK\x03\x04", 4))
        return QStringLiteral("a ZIP archive");
    // Text in UTF-16 without its mark: every other byte is NUL.
    int evenNul = 0, oddNul = 0;
    const int n = int(std::min<qsizetype>(head.size(), 512)) & ~1;
    for (int i = 0; i < n; i += 2) {
        evenNul += head[i] == '\0' && head[i + 1] != '\0';
        oddNul += head[i + 1] == '\0' && head[i] != '\0';
    }
    if (n >= 8 && std::max(evenNul, oddNul) * 4 >= n / 2 * 3)
        return QStringLiteral("UTF-16 text");
    const QByteArray text = head.trimmed();
    if (text.startsWith("<?xml") || text.startsWith("<svg") || text.startsWith("<!DOCTYPE") || text.startsWith("<html"))
        return head.contains("<svg") ? QStringLiteral("an SVG drawing") : QStringLiteral("an XML or HTML document");
    const QList<QByteArray> lines = text.left(64).split('\n');
    if (lines.size() >= 2 && lines[0].trimmed() == "0" && lines[1].trimmed() == "SECTION")
        return QStringLiteral("a DXF drawing");
    if ((text.startsWith('{') || text.startsWith('[')) && text.mid(1).trimmed().startsWith('"'))
        return QStringLiteral("JSON text");
    return QString();
}

} // namespace HpglText
