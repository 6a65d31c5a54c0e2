#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <utility>

#include <QNetworkReply>

// Takes a reply's body in as it arrives and ends the reply once the body
// passes maxBytes or the whole transfer passes totalMs: Qt's own transfer
// time-out restarts with every byte, so a host that drips would otherwise
// never be given up, and the download-progress signal comes too seldom to
// stop a fast host in time. The reply is the caller's; finished() comes once,
// with the body only for a transfer that succeeded.
class BoundedReply : public QObject
{
    Q_OBJECT
public:
    BoundedReply(QNetworkReply *reply, qint64 maxBytes, int totalMs, QObject *parent = nullptr);
    ~BoundedReply() override;

    QNetworkReply *reply() const { return m_reply; }
    bool isFinished() const { return m_finished; }
    bool tooLarge() const { return m_tooLarge; }
    bool timedOut() const { return m_timedOut; }
    QByteArray body() const { return m_body; }
    QByteArray takeBody() { return std::exchange(m_body, {}); }
    qint64 received() const { return m_received; }
    // Ends the transfer now (a newer request replaces this one); what came
    // so far is let go.
    void abort();

signals:
    void finished();

private:
    void take();
    void onFinished();

    QPointer<QNetworkReply> m_reply;
    qint64 m_maxBytes;
    QTimer m_total;
    qint64 m_received = 0;
    // Read into as it comes, sized at once by an announced length (the
    // pages of a larger reserve that are never written are never resident).
    QByteArray m_body;
    bool m_tooLarge = false;
    bool m_timedOut = false;
    bool m_aborted = false;
    bool m_finished = false;
};
