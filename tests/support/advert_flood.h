#pragma once

#include "online/mqtt_message.h"
#include "tests/support/http_test_server.h"

#include <QAtomicInt>
#include <QList>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

// A client of its own thread (made, used and deleted there) that publishes,
// so what the GUI thread spends is the receiver's alone.
class ThreadedSender
{
public:
    explicit ThreadedSender(const mqttSetting &settings);
    ~ThreadedSender();
    bool waitConnected();
    // Each payload in turn, the thread's events handled between them.
    void publish(const QString &topic, const QList<QByteArray> &payloads);

private:
    QThread m_thread;
    QObject *m_context = new QObject;
    mqttMessage *m_client = nullptr;
    QAtomicInt m_connected = 0;
};

// Picture hosts for a flood of advertisement lists, on a thread of their
// own: what they count is the client's doing, however busy the GUI thread
// is. Slow hosts stall or drip; fast ones (one per picture of a list, so no
// per-host connection limit holds them back) send 9 MiB at full speed and
// then stall.
class AdvertFloodHosts
{
public:
    static constexpr qint64 kFastBytes = 9 * 1024 * 1024;

    explicit AdvertFloodHosts(bool fast);
    ~AdvertFloodHosts();
    bool started() const { return m_started; }
    // lists messages of a full list of pictures each, every address its own.
    QList<QByteArray> messages(int lists) const;
    int openConnections() const;
    qint64 bytesPoured() const;

    // Sends the lists through sender and waits, bounded, until received()
    // counts them all and only the last list's downloads are left; a fast
    // flood sends a list once the one before was taken in whole. Returns
    // what did not happen, or an empty text.
    QString pour(ThreadedSender &sender, const QList<QByteArray> &lists, const std::function<int()> &received) const;

private:
    bool m_fast;
    bool m_started = true;
    QThread m_thread;
    QObject m_context;
    std::vector<std::unique_ptr<HttpTestServer>> m_hosts;
};
