#include "platform/xlsx/number_format.h"

#include <QDate>

#include <cmath>

namespace {

bool isDateLetter(QChar c)
{
    const char l = char(c.toLower().unicode() < 128 ? c.toLower().unicode() : 0);
    return l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's' || l == 'e';
}

// The integer and fraction digits of a value >= 0 as a spreadsheet holds it
// (15 significant digits), rounded half up to the given decimals. The
// integer digits carry no leading zeros ("" for a value below 1).
void decimalDigits(double v, int decimals, QString &intDigits, QString &fracDigits)
{
    QString digits;
    int pointAt = 1;
    if (v > 0) {
        const QString e = QString::number(v, 'e', 14);
        const qsizetype ePos = e.indexOf(QLatin1Char('e'));
        digits = e.left(ePos);
        digits.remove(QLatin1Char('.'));
        pointAt = e.mid(ePos + 1).toInt() + 1;
    } else {
        digits = QStringLiteral("0");
    }
    if (pointAt < 1) {
        digits.prepend(QString(1 - pointAt, QLatin1Char('0')));
        pointAt = 1;
    }
    if (digits.size() < pointAt + decimals)
        digits.append(QString(pointAt + decimals - digits.size(), QLatin1Char('0')));
    const bool up = digits.size() > pointAt + decimals && digits.at(pointAt + decimals) >= QLatin1Char('5');
    QString kept = digits.left(pointAt + decimals);
    if (up) {
        int i = int(kept.size()) - 1;
        for (; i >= 0; --i) {
            if (kept[i] == QLatin1Char('9')) {
                kept[i] = QLatin1Char('0');
            } else {
                kept[i] = QChar(kept[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            kept.prepend(QLatin1Char('1'));
            ++pointAt;
        }
    }
    intDigits = kept.left(kept.size() - decimals);
    fracDigits = kept.right(decimals);
    qsizetype lead = 0;
    while (lead < intDigits.size() && intDigits.at(lead) == QLatin1Char('0'))
        ++lead;
    intDigits.remove(0, lead);
}

QString grouped(const QString &digits)
{
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0 && digits.at(i - 1).isDigit())
            out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char *const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
// Monday to Sunday as a Chinese sheet names them (sheet data, spelled as escapes).
const char16_t kChineseDays[] = u"\u4e00\u4e8c\u4e09\u56db\u4e94\u516d\u65e5";

} // namespace

// The Chinese in these codes is sheet data, not interface text: it is
// spelled as escapes so that it is not taken for an untranslated text.
QString NumberFormat::builtInCode(int id)
{
    switch (id) {
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 14: return QStringLiteral("yyyy/m/d");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("yyyy/m/d h:mm");
    case 27: case 36: case 50: case 57: return QStringLiteral("yyyy\"\u5e74\"m\"\u6708\"");
    case 28: case 29: case 51: case 52: case 58: return QStringLiteral("m\"\u6708\"d\"\u65e5\"");
    case 30: return QStringLiteral("m-d-yy");
    case 31: case 53: return QStringLiteral("yyyy\"\u5e74\"m\"\u6708\"d\"\u65e5\"");
    case 32: return QStringLiteral("h\"\u65f6\"mm\"\u5206\"");
    case 33: return QStringLiteral("h\"\u65f6\"mm\"\u5206\"ss\"\u79d2\"");
    case 34: case 54: return QStringLiteral("\u4e0a\u5348/\u4e0b\u5348h\"\u65f6\"mm\"\u5206\"");
    case 35: case 55: return QStringLiteral("\u4e0a\u5348/\u4e0b\u5348h\"\u65f6\"mm\"\u5206\"ss\"\u79d2\"");
    case 37: return QStringLiteral("#,##0 ;(#,##0)");
    case 38: return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 48: return QStringLiteral("##0.0E+0");
    default: return {}; // General, "@" and fractions show as General
    }
}

NumberFormat::NumberFormat(const QString &code)
{
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return;
    // Sections split at semicolons outside quotes and brackets.
    QStringList parts;
    QString cur;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('\\') && !quoted && i + 1 < code.size()) {
            cur += c;
            cur += code.at(++i);
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('['))
            bracket = true;
        else if (!quoted && c == QLatin1Char(']'))
            bracket = false;
        if (c == QLatin1Char(';') && !quoted && !bracket) {
            parts << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts << cur;
    for (const QString &p : parts)
        m_sections << parseSection(p);
}

// "<=9999999", ">=1000", "<>0", "=-1.5"; no condition when the limit is no number.
NumberFormat::Condition NumberFormat::parseCondition(const QString &inner)
{
    static const struct
    {
        const char *text;
        Condition::Op op;
    } ops[] = {{"<=", Condition::LessOrEqual}, {">=", Condition::GreaterOrEqual}, {"<>", Condition::NotEqual},
               {"<", Condition::Less},         {">", Condition::Greater},         {"=", Condition::Equal}};
    for (const auto &o : ops) {
        if (!inner.startsWith(QLatin1String(o.text)))
            continue;
        bool ok = false;
        const double limit = inner.mid(qsizetype(qstrlen(o.text))).trimmed().toDouble(&ok);
        return ok && std::isfinite(limit) ? Condition{o.op, limit} : Condition{};
    }
    return {};
}

bool NumberFormat::Condition::holds(double v) const
{
    switch (op) {
    case Equal: return v == limit;
    case NotEqual: return v != limit;
    case Less: return v < limit;
    case LessOrEqual: return v <= limit;
    case Greater: return v > limit;
    case GreaterOrEqual: return v >= limit;
    case None: break;
    }
    return true;
}

NumberFormat::Section NumberFormat::parseSection(const QString &code)
{
    Section s;
    auto literal = [&s](const QString &text) { s.tokens.push_back({Token::Literal, text}); };
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code.at(i);
        const QString rest = code.mid(i);
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            literal(code.mid(i + 1, (end < 0 ? n : end) - i - 1));
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < n)
                literal(code.at(++i));
        } else if (c == QLatin1Char('_')) {
            ++i;
            literal(QStringLiteral(" "));
        } else if (c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i + 1);
            const QString inner = code.mid(i + 1, (end < 0 ? n : end) - i - 1);
            i = end < 0 ? n : end;
            const QString lower = inner.toLower();
            if (inner.startsWith(QLatin1Char('$'))) {
                // "[$¥-804]": a currency text, then the locale's number,
                // whose low ten bits name the language (4 is Chinese).
                const qsizetype dash = inner.indexOf(QLatin1Char('-'));
                literal(inner.mid(1, dash < 0 ? -1 : dash - 1));
                bool ok = false;
                const uint locale = dash < 0 ? 0 : inner.mid(dash + 1).toUInt(&ok, 16);
                if (ok)
                    s.language = (locale & 0x3ff) == 0x04 ? Language::Chinese : Language::Other;
            } else if (!inner.isEmpty() && QStringLiteral("<>=").contains(inner.at(0))) {
                if (s.condition.op == Condition::None)
                    s.condition = parseCondition(inner);
            } else if (!lower.isEmpty()
                       && (lower.count(QLatin1Char('h')) == lower.size() || lower.count(QLatin1Char('m')) == lower.size()
                           || lower.count(QLatin1Char('s')) == lower.size())) {
                s.tokens.push_back({Token::Elapsed, lower});
            }
            // Colours do not change the text.
        } else if (rest.startsWith(QLatin1String("AM/PM"), Qt::CaseInsensitive)) {
            s.tokens.push_back({Token::AmPm, QStringLiteral("AM/PM")});
            i += 4;
        } else if (rest.startsWith(QLatin1String("A/P"), Qt::CaseInsensitive)) {
            s.tokens.push_back({Token::AmPm, QStringLiteral("A/P")});
            i += 2;
        } else if (rest.startsWith(QStringLiteral("\u4e0a\u5348/\u4e0b\u5348"))) {
            s.tokens.push_back({Token::AmPm, QStringLiteral("\u4e0a\u5348/\u4e0b\u5348")});
            i += 4;
        } else if (rest.startsWith(QLatin1String("General"), Qt::CaseInsensitive)) {
            s.tokens.push_back({Token::Digit, QStringLiteral("G")});
            i += 6;
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && i + 1 < n
                   && (code.at(i + 1) == QLatin1Char('+') || code.at(i + 1) == QLatin1Char('-'))) {
            s.tokens.push_back({Token::Exponent, QStringLiteral("E") + code.at(i + 1)});
            ++i;
        } else if (rest.startsWith(QLatin1String("aaa"), Qt::CaseInsensitive)) {
            // The day of the week in Chinese: "aaa" one character, "aaaa" with its prefix.
            qsizetype j = i;
            while (j < n && code.at(j).toLower() == QLatin1Char('a'))
                ++j;
            s.tokens.push_back({Token::DatePart, j - i > 3 ? QStringLiteral("aaaa") : QStringLiteral("aaa")});
            i = j - 1;
        } else if (isDateLetter(c)) {
            qsizetype j = i;
            while (j < n && code.at(j).toLower() == c.toLower())
                ++j;
            QString run = code.mid(i, j - i).toLower();
            if (run.startsWith(QLatin1Char('e')))
                run = QStringLiteral("yyyy");
            s.tokens.push_back({Token::DatePart, run});
            i = j - 1;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?')) {
            // Fractional seconds follow a point in a date.
            if (!s.tokens.isEmpty() && s.tokens.last().kind == Token::Point && c == QLatin1Char('0')) {
                bool date = false;
                for (const Token &t : s.tokens)
                    date = date || t.kind == Token::DatePart;
                if (date) {
                    qsizetype j = i;
                    while (j < n && code.at(j) == QLatin1Char('0'))
                        ++j;
                    s.tokens.last() = {Token::DatePart, QStringLiteral(".") + QString(j - i, QLatin1Char('0'))};
                    i = j - 1;
                    continue;
                }
            }
            s.tokens.push_back({Token::Digit, QString(c)});
        } else if (c == QLatin1Char('.')) {
            s.tokens.push_back({Token::Point, QStringLiteral(".")});
        } else if (c == QLatin1Char(',')) {
            s.tokens.push_back({Token::Thousands, QStringLiteral(",")});
        } else if (c == QLatin1Char('%')) {
            s.tokens.push_back({Token::Percent, QStringLiteral("%")});
        } else if (c == QLatin1Char('@')) {
            s.isText = true;
            literal(QStringLiteral("@"));
        } else {
            literal(c);
        }
    }

    bool hasDigits = false;
    for (const Token &t : s.tokens) {
        s.isDate = s.isDate || t.kind == Token::DatePart || t.kind == Token::AmPm || t.kind == Token::Elapsed;
        hasDigits = hasDigits || t.kind == Token::Digit;
    }
    if (s.isDate) {
        // "m" is minutes after an hour or before a second, else the month.
        for (int k = 0; k < s.tokens.size(); ++k) {
            Token &t = s.tokens[k];
            if (t.kind != Token::DatePart || !t.text.startsWith(QLatin1Char('m')) || t.text.size() > 2)
                continue;
            bool minutes = false;
            for (int b = k - 1; b >= 0; --b) {
                const Token &p = s.tokens[b];
                if (p.kind == Token::DatePart || p.kind == Token::Elapsed) {
                    minutes = p.text.startsWith(QLatin1Char('h'));
                    break;
                }
            }
            for (int a = k + 1; !minutes && a < s.tokens.size(); ++a) {
                const Token &p = s.tokens[a];
                if (p.kind == Token::DatePart || p.kind == Token::Elapsed) {
                    minutes = p.text.startsWith(QLatin1Char('s'));
                    break;
                }
            }
            if (minutes)
                t.text = t.text.toUpper();
        }
        return s;
    }
    // A comma after the last digit placeholder divides by a thousand; a
    // slash between digits is a fraction, shown as General.
    int lastDigit = -1;
    for (int k = 0; k < s.tokens.size(); ++k)
        if (s.tokens[k].kind == Token::Digit)
            lastDigit = k;
    for (int k = lastDigit + 1; k < s.tokens.size() && s.tokens[k].kind == Token::Thousands; ++k) {
        s.tokens[k] = {Token::Literal, QString()};
        ++s.scale;
    }
    for (const Token &t : s.tokens)
        if (t.kind == Token::Literal && t.text == QLatin1String("/") && hasDigits)
            s.unsupported = true;
    return s;
}

const NumberFormat::Section *NumberFormat::sectionFor(double value, bool &signInSection) const
{
    signInSection = false;
    const qsizetype count = m_sections.size();
    const Condition &first = m_sections[0].condition;
    const Condition none;
    const Condition &second = count >= 2 ? m_sections[1].condition : none;
    if (first.op == Condition::None && second.op == Condition::None) {
        // Positive; negative; zero; text.
        if (value < 0 && count >= 2 && !m_sections[1].isText) {
            signInSection = true;
            return &m_sections[1];
        }
        if (value == 0 && count >= 3 && !m_sections[2].isText)
            return &m_sections[2];
        return &m_sections[0];
    }
    // Conditions: the first section whose condition holds; after two
    // conditions the third takes the rest, after one the second does.
    const auto belowZero = [](const Condition &c) {
        return c.limit == 0 && (c.op == Condition::Less || c.op == Condition::LessOrEqual);
    };
    int index = -1;
    if (first.holds(value))
        index = 0;
    else if (count >= 2 && (second.op == Condition::None || second.holds(value)))
        index = 1;
    else if (count >= 3 && second.op != Condition::None)
        index = 2;
    if (index < 0 || m_sections[index].isText)
        return nullptr;
    // A section that holds only values below zero shows their minus itself,
    // as does the second one after a first for zero and above.
    const Condition &own = m_sections[index].condition;
    signInSection = belowZero(own)
                    || (index == 1 && own.op == Condition::None && first.limit == 0
                        && (first.op == Condition::Greater || first.op == Condition::GreaterOrEqual));
    return &m_sections[index];
}

QString NumberFormat::format(double value, bool date1904) const
{
    if (m_sections.isEmpty() || !std::isfinite(value))
        return general(value);
    bool signInSection = false;
    const Section *s = sectionFor(value, signInSection);
    if (!s || s->isText || s->unsupported)
        return general(value);
    if (s->isDate)
        return value < 0 && signInSection ? formatDate(*s, -value, date1904) : formatDate(*s, value, date1904);
    const QString text = formatNumber(*s, std::fabs(value));
    if (value >= 0 || signInSection)
        return text;
    // No minus on a value that shows as zero.
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0'))
            return QLatin1Char('-') + text;
    return text;
}

QString NumberFormat::formatNumber(const Section &s, double v) const
{
    for (const Token &t : s.tokens) {
        if (t.kind == Token::Percent)
            v *= 100;
        if (t.kind == Token::Digit && t.text == QLatin1String("G"))
            return general(v);
    }
    v /= std::pow(1000.0, s.scale);
    if (!std::isfinite(v))
        return general(v);

    // The tokens of the integer part, the fraction and the exponent.
    int point = -1, exponent = -1;
    for (int k = 0; k < s.tokens.size(); ++k) {
        if (s.tokens[k].kind == Token::Point && point < 0 && exponent < 0)
            point = k;
        if (s.tokens[k].kind == Token::Exponent && exponent < 0)
            exponent = k;
    }
    const int intEnd = point >= 0 ? point : (exponent >= 0 ? exponent : int(s.tokens.size()));
    const int fracEnd = exponent >= 0 ? exponent : int(s.tokens.size());
    int intPlaces = 0, decimals = 0, expPlaces = 0;
    bool grouping = false, optionalPlace = false;
    for (int k = 0; k < intEnd; ++k) {
        if (s.tokens[k].kind == Token::Digit) {
            ++intPlaces;
            optionalPlace = optionalPlace || s.tokens[k].text == QLatin1String("#");
        }
        if (s.tokens[k].kind == Token::Thousands && intPlaces > 0)
            grouping = true;
    }
    for (int k = intEnd; k < fracEnd; ++k)
        decimals += s.tokens[k].kind == Token::Digit;
    for (int k = fracEnd; k < s.tokens.size(); ++k)
        expPlaces += s.tokens[k].kind == Token::Digit;

    int exp10 = 0;
    if (exponent >= 0 && v > 0) {
        // Integer places with a '#' among them make the exponent a multiple
        // of their count ("##0.0E+0": 12.3E+3); else they are all filled.
        const int magnitude = int(std::floor(std::log10(v)));
        const bool engineering = optionalPlace && intPlaces > 1;
        const int step = engineering ? intPlaces : 1;
        exp10 = engineering ? (magnitude >= 0 ? magnitude : magnitude - intPlaces + 1) / intPlaces * intPlaces
                            : magnitude - (intPlaces - 1);
        const double mantissa = v / std::pow(10.0, exp10);
        if (!std::isfinite(mantissa) || mantissa == 0)
            return general(v);
        v = mantissa;
        QString i, f;
        decimalDigits(v, decimals, i, f);
        if (i.size() > intPlaces) { // rounded up to another power of ten
            exp10 += step;
            v /= std::pow(10.0, step);
        }
    }
    QString intDigits, fracDigits;
    decimalDigits(v, decimals, intDigits, fracDigits);

    // Integer digits right to left into their placeholders; the leftmost
    // takes what is left over.
    // What a placeholder without a digit shows.
    const auto unfilled = [](const Token &t) {
        return t.text == QLatin1String("0") ? QStringLiteral("0") : t.text == QLatin1String("?") ? QStringLiteral(" ") : QString();
    };
    // With no integer place (".00") the integer digits stand before the point.
    const bool noIntegerPlace = intPlaces == 0 && exponent < 0;
    QVector<QString> placed(s.tokens.size());
    int remaining = int(intDigits.size());
    for (int k = intEnd - 1; k >= 0; --k) {
        const Token &t = s.tokens[k];
        if (t.kind != Token::Digit)
            continue;
        --intPlaces;
        if (intPlaces == 0) {
            placed[k] = intDigits.left(remaining);
            if (placed[k].isEmpty())
                placed[k] = unfilled(t);
        } else if (remaining > 0) {
            placed[k] = intDigits.at(--remaining);
        } else {
            placed[k] = unfilled(t);
        }
    }
    // Fraction digits left to right; trailing zeros of '#' and '?' go.
    int f = 0;
    for (int k = intEnd; k < fracEnd; ++k)
        if (s.tokens[k].kind == Token::Digit)
            placed[k] = fracDigits.at(f++);
    for (int k = fracEnd - 1; k >= intEnd; --k) {
        const Token &t = s.tokens[k];
        if (t.kind != Token::Digit)
            continue;
        if (t.text == QLatin1String("0") || placed[k] != QLatin1String("0"))
            break;
        placed[k] = t.text == QLatin1String("?") ? QStringLiteral(" ") : QString();
    }
    // Exponent digits, padded to their placeholders.
    if (exponent >= 0) {
        QString e = QString::number(std::abs(exp10));
        if (e.size() < expPlaces)
            e.prepend(QString(expPlaces - e.size(), QLatin1Char('0')));
        const bool plus = s.tokens[exponent].text.endsWith(QLatin1Char('+'));
        placed[exponent] = QStringLiteral("E") + (exp10 < 0 ? QStringLiteral("-") : plus ? QStringLiteral("+") : QString()) + e;
    }

    QString out;
    QString run; // the integer digits, grouped as one
    for (int k = 0; k < s.tokens.size(); ++k) {
        const Token &t = s.tokens[k];
        if (k < intEnd && t.kind == Token::Digit && grouping) {
            run += placed[k];
            continue;
        }
        if (!run.isEmpty() && (k >= intEnd || t.kind == Token::Literal)) {
            out += grouped(run);
            run.clear();
        }
        switch (t.kind) {
        case Token::Digit:
        case Token::Exponent:
            out += placed[k];
            break;
        case Token::Point:
            if (k == point)
                out += (noIntegerPlace ? intDigits : QString()) + QLatin1Char('.');
            break;
        case Token::Thousands:
            break;
        default:
            out += t.text;
        }
    }
    out += grouped(run);
    return out;
}

QString NumberFormat::formatDate(const Section &s, double serial, bool date1904) const
{
    int fractionDigits = 0;
    bool twelveHours = false;
    for (const Token &t : s.tokens) {
        if (t.kind == Token::DatePart && t.text.startsWith(QLatin1Char('.')))
            fractionDigits = std::max(fractionDigits, int(t.text.size()) - 1);
        twelveHours = twelveHours || t.kind == Token::AmPm;
    }
    if (serial < 0 || serial > 2958465.99999) // before 1900 or after 9999: no date to show
        return general(serial);
    // The fraction of a second is rounded to the digits the value holds (a
    // spreadsheet keeps 15 significant digits); the places past them show zeros.
    const double totalSeconds = serial * 86400.0;
    const int wholeDigits = totalSeconds >= 1 ? int(std::floor(std::log10(totalSeconds))) + 1 : 1;
    const int heldDigits = std::clamp(15 - wholeDigits, 0, fractionDigits);
    qint64 unitsPerSecond = 1;
    for (int k = 0; k < heldDigits; ++k)
        unitsPerSecond *= 10;
    const qint64 units = qint64(std::llround(totalSeconds * double(unitsPerSecond)));
    const qint64 perDay = 86400 * unitsPerSecond;
    const qint64 days = units / perDay;
    const qint64 dayUnits = units % perDay;
    const qint64 seconds = dayUnits / unitsPerSecond;
    const qint64 fraction = dayUnits % unitsPerSecond;
    const QString fractionText = heldDigits > 0 ? QString::number(fraction).rightJustified(heldDigits, QLatin1Char('0'))
                                                    + QString(fractionDigits - heldDigits, QLatin1Char('0'))
                                                : QString(fractionDigits, QLatin1Char('0'));
    const int hour = int(seconds / 3600), minute = int(seconds / 60 % 60), second = int(seconds % 60);

    int y = 1900, m = 1, d = 0, weekday = 6; // serial 0 is "1900-01-00", a Saturday
    if (date1904) {
        const QDate date = QDate(1904, 1, 1).addDays(days);
        y = date.year(), m = date.month(), d = date.day(), weekday = date.dayOfWeek() - 1;
    } else if (days == 60) { // the day the 1900 system counts though it never was
        y = 1900, m = 2, d = 29, weekday = 2;
    } else if (days > 0) {
        const QDate date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
        y = date.year(), m = date.month(), d = date.day(), weekday = date.dayOfWeek() - 1;
    }

    auto padded = [](qint64 v, int width) { return QString::number(v).rightJustified(width, QLatin1Char('0')); };
    QString out;
    for (const Token &t : s.tokens) {
        const QString &p = t.text;
        switch (t.kind) {
        case Token::DatePart:
            if (p.startsWith(QLatin1Char('y')))
                out += p.size() <= 2 ? padded(y % 100, 2) : QString::number(y);
            else if (p.startsWith(QLatin1Char('m')))
                out += p.size() == 1 ? QString::number(m)
                       : p.size() == 2 ? padded(m, 2)
                       : p.size() == 3 ? QString::fromLatin1(kMonths[m - 1]).left(3)
                       : p.size() == 5 ? QString::fromLatin1(kMonths[m - 1]).left(1)
                                       : QString::fromLatin1(kMonths[m - 1]);
            else if (p.startsWith(QLatin1Char('M')))
                out += p.size() == 1 ? QString::number(minute) : padded(minute, 2);
            else if (p.startsWith(QLatin1Char('d')))
                out += p.size() == 1 ? QString::number(d)
                       : p.size() == 2 ? padded(d, 2)
                       : p.size() == 3 ? QString::fromLatin1(kDays[weekday]).left(3)
                                       : QString::fromLatin1(kDays[weekday]);
            else if (p.startsWith(QLatin1Char('h'))) {
                const int h = twelveHours ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
                out += p.size() == 1 ? QString::number(h) : padded(h, 2);
            } else if (p.startsWith(QLatin1Char('s')))
                out += p.size() == 1 ? QString::number(second) : padded(second, 2);
            else if (p.startsWith(QLatin1Char('.')))
                out += QLatin1Char('.') + fractionText.left(int(p.size()) - 1);
            else if (p.startsWith(QLatin1Char('a')))
                out += s.language == Language::Other ? (p.size() == 3 ? QString::fromLatin1(kDays[weekday]).left(3)
                                                                      : QString::fromLatin1(kDays[weekday]))
                                                     : (p.size() == 3 ? QString() : QStringLiteral("\u661f\u671f"))
                                                           + QChar(kChineseDays[weekday]);
            break;
        case Token::AmPm: {
            const bool pm = hour >= 12;
            if (p == QLatin1String("A/P"))
                out += pm ? QStringLiteral("P") : QStringLiteral("A");
            else if (p == QLatin1String("AM/PM") && s.language != Language::Chinese)
                out += pm ? QStringLiteral("PM") : QStringLiteral("AM");
            else
                out += pm ? QStringLiteral("\u4e0b\u5348") : QStringLiteral("\u4e0a\u5348");
            break;
        }
        case Token::Elapsed: {
            const qint64 total = days * 86400 + seconds;
            const qint64 v = p.startsWith(QLatin1Char('h')) ? total / 3600 : p.startsWith(QLatin1Char('m')) ? total / 60 : total;
            out += padded(v, int(p.size()));
            break;
        }
        case Token::Point:
            out += QLatin1Char('.');
            break;
        case Token::Thousands:
            out += QLatin1Char(',');
            break;
        case Token::Percent:
            out += QLatin1Char('%');
            break;
        default:
            out += p;
        }
    }
    return out;
}

QString NumberFormat::general(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    const double a = std::fabs(value);
    if (value == std::floor(value) && a < 1e15)
        return QString::number(qint64(value));
    const int magnitude = int(std::floor(std::log10(a)));
    QString text;
    if (magnitude >= -4 && magnitude <= 10) {
        text = QString::number(value, 'f', magnitude >= 0 ? std::max(0, 9 - magnitude) : 9);
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
        }
        return text;
    }
    text = QString::number(value, 'E', 5);
    const qsizetype e = text.indexOf(QLatin1Char('E'));
    QString mantissa = text.left(e);
    while (mantissa.endsWith(QLatin1Char('0')))
        mantissa.chop(1);
    if (mantissa.endsWith(QLatin1Char('.')))
        mantissa.chop(1);
    return mantissa + text.mid(e);
}
