#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class BoundedReply;
class QNetworkReply;

// One firmware file download that is handed on only when complete and
// checked: http or https (redirects included), a 2xx status, no web page, a
// non-empty body of at most maxBytes, the SHA-256 digest when one is known,
// and the announced length; without a digest a length must be announced, as
// a connection closed early is otherwise taken for the end of the file. A
// download without progress for stallMs ends, and any after totalMs.
class FirmwareDownload : public QObject
{
    Q_OBJECT
public:
    explicit FirmwareDownload(QNetworkAccessManager &manager, QObject *parent = nullptr);
    ~FirmwareDownload() override;

    void setStallMs(int ms) { m_stallMs = ms; }
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }
    void setTotalMs(int ms) { m_totalMs = ms; }

    // sha256Hex empty: no digest to check.
    void start(const QUrl &url, const QString &sha256Hex);
    bool isDone() const { return m_done; }
    bool succeeded() const { return m_done && m_reason.isEmpty(); }
    QByteArray body() const { return m_body; }
    // Why it failed, for the operator; empty on success.
    QString reason() const { return m_reason; }

    static constexpr qint64 kDefaultMaxBytes = 64ll * 1024 * 1024;
    static constexpr int kDefaultStallMs = 30000;
    // 64 MiB at a slow 1 Mbit/s takes about 9 minutes.
    static constexpr int kDefaultTotalMs = 15 * 60 * 1000;

signals:
    void progress(qint64 bytesReceived, qint64 bytesTotal);
    void finished();

private:
    void fail(const QString &reason);
    void onFinished();
    void finish();

    QNetworkAccessManager &m_manager;
    QPointer<QNetworkReply> m_reply;
    QPointer<BoundedReply> m_bounded;
    int m_stallMs = kDefaultStallMs;
    int m_totalMs = kDefaultTotalMs;
    qint64 m_maxBytes = kDefaultMaxBytes;
    QString m_sha256;
    QByteArray m_body;
    QString m_reason;
    bool m_done = false;
};
