#include "tests/support/advert_flood.h"
#include "tests/support/hang_bound.h"

#include "online/carousel_image_window.h"

#include <QCoreApplication>
#include <QTest>

ThreadedSender::ThreadedSender(const mqttSetting &settings)
{
    m_thread.start();
    m_context->moveToThread(&m_thread);
    QMetaObject::invokeMethod(m_context, [this, settings] {
        m_client = new mqttMessage;
        mqttSetting s = settings;
        m_connected = m_client->connectToServer(s) ? 1 : 2;
    });
}

ThreadedSender::~ThreadedSender()
{
    QMetaObject::invokeMethod(m_context, [this] {
        delete m_client;
        m_context->deleteLater();
    }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool ThreadedSender::waitConnected()
{
    return QTest::qWaitFor([this] { return m_connected.loadRelaxed() != 0; }, kHangMs) && m_connected.loadRelaxed() == 1;
}

void ThreadedSender::publish(const QString &topic, const QList<QByteArray> &payloads)
{
    QMetaObject::invokeMethod(m_context, [this, topic, payloads] {
        for (const QByteArray &payload : payloads) {
            m_client->pubTopic(topic, payload);
            QCoreApplication::processEvents();
        }
    });
}

AdvertFloodHosts::AdvertFloodHosts(bool fast)
    : m_fast(fast)
    , m_hosts(fast ? CarouselImageWindow::kMaxPictures : 2)
{
    m_thread.start();
    m_context.moveToThread(&m_thread);
    QMetaObject::invokeMethod(&m_context, [this] {
        HttpTestServer::Response stall;
        stall.body = QByteArray(1000, 'x');
        stall.announcedLength = 5 * 1024 * 1024;
        stall.stallAfter = 100;
        HttpTestServer::Response drip;
        drip.body = QByteArray(1000, 'x');
        drip.dripMs = 200;
        // Within the cap as announced; the rest never comes.
        HttpTestServer::Response full;
        full.body = QByteArray(kFastBytes, 'x');
        full.announcedLength = CarouselImageWindow::kMaxPictureBytes;
        full.stallAfter = kFastBytes;
        for (auto &host : m_hosts) {
            host = std::make_unique<HttpTestServer>();
            m_started = m_started && (m_fast ? host->listenOnSomeLoopback(0) : host->start());
            host->setResponse(QStringLiteral("/stall.png"), stall);
            host->setResponse(QStringLiteral("/drip.png"), drip);
            host->setResponse(QStringLiteral("/full.png"), full);
        }
    }, Qt::BlockingQueuedConnection);
}

AdvertFloodHosts::~AdvertFloodHosts()
{
    QMetaObject::invokeMethod(&m_context, [this] {
        m_hosts.clear();
        m_context.moveToThread(QCoreApplication::instance()->thread());
    }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QList<QByteArray> AdvertFloodHosts::messages(int lists) const
{
    QList<QByteArray> out;
    for (int m = 0; m < lists; ++m) {
        QStringList urls;
        for (int p = 0; p < CarouselImageWindow::kMaxPictures; ++p) {
            const HttpTestServer &host = *m_hosts.at(p % m_hosts.size());
            const QString path = m_fast ? QStringLiteral("/full.png")
                                        : p % 4 < 2 ? QStringLiteral("/stall.png") : QStringLiteral("/drip.png");
            urls.append(host.url(path).toString() + QStringLiteral("?m=%1&p=%2").arg(m).arg(p));
        }
        out.append(QStringLiteral("{\"messageType\":2,\"coverImage\":\"%1\"}").arg(urls.join(QLatin1Char(','))).toUtf8());
    }
    return out;
}

int AdvertFloodHosts::openConnections() const
{
    int sum = 0;
    for (const auto &host : m_hosts)
        sum += host->openConnections();
    return sum;
}

qint64 AdvertFloodHosts::bytesPoured() const
{
    qint64 sum = 0;
    for (const auto &host : m_hosts)
        sum += host->bytesPoured();
    return sum;
}

QString AdvertFloodHosts::pour(ThreadedSender &sender, const QList<QByteArray> &lists,
                               const std::function<int()> &received) const
{
    const QString topic = QStringLiteral("planning_ad");
    const int count = int(lists.size());
    if (m_fast) {
        for (int m = 0; m < count; ++m) {
            sender.publish(topic, {lists.at(m)});
            if (!QTest::qWaitFor([&] { return received() >= m + 1; }, kHangMs))
                return QStringLiteral("list %1 not announced").arg(m + 1);
            const qint64 due = (m + 1) * CarouselImageWindow::kMaxPictures * kFastBytes;
            if (!QTest::qWaitFor([&] { return bytesPoured() >= due; }, kHangMs))
                return QStringLiteral("list %1 not taken in: %2 bytes").arg(m + 1).arg(bytesPoured());
        }
    } else {
        sender.publish(topic, lists);
        if (!QTest::qWaitFor([&] { return received() >= count; }, kLongHangMs))
            return QStringLiteral("%1 of %2 lists announced").arg(received()).arg(count);
    }
    // The last list's downloads are all that is left.
    if (!QTest::qWaitFor([&] { return openConnections() <= CarouselImageWindow::kMaxPictures; }, kHangMs))
        return QStringLiteral("%1 downloads still open").arg(openConnections());
    return {};
}
