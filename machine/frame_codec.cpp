#include "machine/frame_codec.h"

#include <QRegularExpression>

namespace MachineFrame {

namespace {

qsizetype digits(qsizetype v)
{
    qsizetype d = 1;
    while (v >= 10) {
        v /= 10;
        ++d;
    }
    return d;
}

} // namespace

qsizetype frameLength(qsizetype payloadSize)
{
    // Two rounds always settle: the second digit count is that of L itself.
    const qsizetype d1 = digits(payloadSize + 3);
    const qsizetype d2 = digits(payloadSize + 3 + d1);
    return payloadSize + 3 + d2;
}

QByteArray wrap(const QByteArray &payload)
{
    const QByteArray length = QByteArray::number(frameLength(payload.size()));
    QByteArray frame;
    frame.reserve(payload.size() + 3 + length.size());
    frame.append(kStart).append(length).append(';').append(payload).append(kEnd);
    return frame;
}

QByteArray pack(const QString &header, const QString &body)
{
    return wrap((header + QLatin1Char(';') + body).toLocal8Bit());
}

std::optional<Reply> parseCommandReply(const QByteArray &frame)
{
    static const QRegularExpression re(QStringLiteral("(?<=CMD;).*?(?=(;))"));
    const QString text = QString::fromLocal8Bit(frame);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch() || m.capturedLength() == 0)
        return std::nullopt;
    QStringList parts = m.captured().split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;
    Reply reply;
    reply.key = parts.first().toInt();
    if (reply.key != 23) {
        reply.ok = parts.at(1).toInt() == 0;
        parts.removeFirst();
    }
    reply.replied = true;
    reply.fields = parts;
    return reply;
}

std::optional<double> parseProgress(const QByteArray &frame)
{
    static const QRegularExpression re(QStringLiteral("(?<=UPG;).*?(?=(,|;))"));
    const QString text = QString::fromLocal8Bit(frame);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch() || m.capturedLength() == 0)
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    if (parts.size() < 3 || parts.at(1) != QLatin1String("UPG"))
        return std::nullopt;
    const QStringList values = parts.at(2).split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (values.size() < 3 || values.at(0) != QLatin1String("1") || values.at(1) != QLatin1String("0"))
        return std::nullopt;
    bool ok = false;
    const double percent = values.at(2).toDouble(&ok);
    // A garbled number must not read as 0 % and move the progress backwards.
    if (!ok)
        return std::nullopt;
    return percent;
}

int commandKey(const QByteArray &frame)
{
    static const QRegularExpression re(QStringLiteral("(?<=CMD;).*?(?=(,|;))"));
    const QRegularExpressionMatch m = re.match(QString::fromLocal8Bit(frame));
    return m.hasMatch() ? m.captured().toInt() : 0;
}

namespace {

int fieldInt(const QStringList &fields, int index, bool *ok = nullptr)
{
    if (index >= fields.size()) {
        if (ok)
            *ok = false;
        return 0;
    }
    return fields.at(index).toInt(ok);
}

int motorKey(const QStringList &f)
{
    // Fields: status, selector, motor, axis, speed, length, state.
    bool selOk = false;
    const int selector = fieldInt(f, 1, &selOk);
    const int motor = fieldInt(f, 2);
    const int axis = fieldInt(f, 3);
    if (!selOk || (selector != 0 && selector != 1))
        return 20;
    const int base = selector == 1 ? 103 : 104;
    switch (motor) {
    case 2: return base;
    case 3: return base + 2;
    case 4: return axis == 0 ? base + 4 : base + 6;
    default: return 20;
    }
}

} // namespace

void resolveReply(Reply &reply)
{
    const QStringList &f = reply.fields;
    const auto count = [&](int n) { reply.ok = f.size() == n; };
    switch (reply.key) {
    case 1: count(6); break;
    case 2:
        count(3);
        if (f.size() >= 3 && f.at(1) == QLatin1String("0") && f.at(2) == QLatin1String("4"))
            reply.key = 10001;
        else if (f.size() >= 3 && f.at(1) == QLatin1String("3") && f.at(2) == QLatin1String("1"))
            reply.key = 10002;
        break;
    case 3: count(2); break;
    case 4:
        count(4);
        if (f.size() >= 2 && f.at(1) == QLatin1String("1"))
            reply.key = 10000;
        break;
    case 6:
    case 7:
    case 11: count(4); break;
    case 10: count(3); break;
    case 12: {
        count(2);
        bool ok = false;
        const int status = fieldInt(f, 1, &ok);
        if (ok && status == 0)
            reply.key = 101;
        else if (ok && status == 1)
            reply.key = 102;
        else if (ok && status == 2)
            reply.key = 100;
        break;
    }
    case 16: count(2); break;
    case 17: reply.ok = f.size() >= 8; break;
    case 18: count(9); break;
    case 20:
        count(7);
        reply.key = motorKey(f);
        break;
    case 23: reply.ok = true; break;
    default: break; // accepted by status, as parsed
    }
}

qsizetype Splitter::feed(const char *data, qsizetype size, const std::function<void(const QByteArray &)> &onFrame)
{
    m_buffer.append(data, size);
    qsizetype end;
    while ((end = m_buffer.indexOf(kEnd)) >= 0) {
        const qsizetype start = m_buffer.lastIndexOf(kStart, end);
        if (start >= 0)
            onFrame(m_buffer.mid(start, end - start + 1));
        m_buffer.remove(0, end + 1);
    }
    if (m_buffer.size() <= m_maxBuffered)
        return 0;
    // An unterminated flood: keep only a frame that has begun and still fits.
    const qsizetype start = m_buffer.lastIndexOf(kStart);
    const qsizetype keepFrom = (start >= 0 && m_buffer.size() - start <= m_maxBuffered) ? start : m_buffer.size();
    m_buffer.remove(0, keepFrom);
    return keepFrom;
}

} // namespace MachineFrame
