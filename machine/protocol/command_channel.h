#pragma once

#include "machine/protocol/command_table.h"
#include "machine/protocol/frame_codec.h"

#include <QByteArray>
#include <QMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class MachineContext;
class MachineLink;
struct ReplyWaiter;

// Frames to and from the machine over the link: the send lock and the
// packet-wise sender, one reply waiter per wait key, and the routing of
// received frames to their effects and their waiting senders.
class CommandChannel
{
public:
    // What a reply does to the device state, before its sender wakes; it
    // may refuse the reply (ok := false).
    using ReplyEffect = std::function<void(int id, MachineFrame::Reply &reply)>;
    using Progress = std::function<void(float percent)>;

    CommandChannel(MachineLink &link, const MachineContext &context);
    ~CommandChannel();
    void setHandlers(ReplyEffect replyEffect, Progress progress);

    // The link is up and commands may go out.
    bool connected() const { return m_connected.load(); }
    void setConnected(bool on) { m_connected.store(on); }

    // Sends one frame; with waitReturn, blocks until the reply of its wait key
    // (0: the command number of the frame) or the time-out.
    bool sendCMD(const QByteArray &frame, bool waitReturn = true, int key = 0);
    // A command-table row with its arguments, waiting on the row's key.
    bool send(CommandTable::Command command, const QStringList &args = {}, bool waitReturn = true);
    // Writes one frame in packets under the send lock; no reply wait.
    bool sendMsg(const QByteArray &frame);
    // How long the calling thread has waited for the machine's replies so
    // far, ns: the machine's share of a job's time.
    static qint64 threadReplyWaitNs();
    quint64 packetsSent() const { return m_packetsSent.load(); }

    // Bytes from the link (receive thread).
    void receiveBytes(const char *data, qsizetype size);
    // A new connection's receive thread starts: bytes left half-framed by
    // the last connection must never join its first frame.
    void startReceiving() { m_receiveBuffer.clear(); }
    std::optional<MachineFrame::Reply> dealReturn(const QByteArray &frame);
    void decode(const QByteArray &frame);
    // Forgets every waiter (shut-down).
    void clearWaiters();

private:
    void storeReply(const MachineFrame::Reply &reply, const QByteArray &frame);

    MachineLink &m_link;
    const MachineContext &m_context;
    ReplyEffect m_replyEffect;
    Progress m_progress;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_largeFrame{false};
    std::atomic<quint64> m_packetsSent{0};
    std::mutex m_sendLock;
    std::mutex m_waiterMapLock; // leaf
    QMap<int, std::shared_ptr<ReplyWaiter>> m_waiters;
    MachineFrame::Splitter m_receiveBuffer; // receive thread only
};
