#include "machine/protocol/frame_codec.h"

#include "machine/protocol/command_table.h"

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

void resolveReply(Reply &reply)
{
    CommandTable::resolve(reply);
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
