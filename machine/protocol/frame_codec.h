#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The frame of the machine link, used in both directions:
//   0x02, the total length L in ASCII decimal, ';', payload, 0x03
// L counts every byte of the frame including its own digits. Payloads are
// not escaped (firmware carries 0x02/0x03), so only L delimits a frame.
namespace MachineFrame {

constexpr char kStart = 0x02;
constexpr char kEnd = 0x03;

// Total frame length for a payload of n bytes.
qsizetype frameLength(qsizetype payloadSize);

// Wraps bytes unchanged.
QByteArray wrap(const QByteArray &payload);

// header + ";" + body in the local 8-bit code page, wrapped.
QByteArray pack(const QString &header, const QString &body);

// One parsed command reply "CMD;id,status,...;".
struct Reply
{
    int key = -1; // the reply's id until remapped to a wait key
    bool replied = false;
    bool ok = false;
    QStringList fields; // status first; for id 23 the id itself first
};

// The command reply in a received frame, or none. Does not log.
std::optional<Reply> parseCommandReply(const QByteArray &frame);

// The upload percentage of a well-formed progress frame "...;UPG;1,0,<p>;".
std::optional<double> parseProgress(const QByteArray &frame);

// The number after the first "CMD;" of an outgoing frame (inside "CCMD;"),
// 0 when absent.
int commandKey(const QByteArray &frame);

// Wait key and acceptance of a reply by command number: most replies are
// accepted by their field count, and some are told apart by content.
void resolveReply(Reply &reply);

// Cuts a received byte stream into frames: every 0x03 ends a candidate, the
// frame starts at the candidate's last 0x02. The length field is not read.
// Holds at most maxBuffered unterminated bytes; beyond that the oldest are
// dropped (a frame already begun is kept when it fits).
class Splitter
{
public:
    static constexpr qsizetype kDefaultMaxBuffered = 64 * 1024;

    explicit Splitter(qsizetype maxBuffered = kDefaultMaxBuffered)
        : m_maxBuffered(maxBuffered)
    {
    }

    // Feeds received bytes; calls onFrame for each complete frame in order.
    // Returns the number of bytes dropped by the bound (0 normally).
    qsizetype feed(const char *data, qsizetype size, const std::function<void(const QByteArray &)> &onFrame);

    qsizetype buffered() const { return m_buffer.size(); }
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
    qsizetype m_maxBuffered;
};

} // namespace MachineFrame
