// The libmosquitto adapter in the Qt event loop, against a real broker:
// handlers may spin the event loop while more messages arrive, and nothing is
// sent once disconnected.
#include "platform/mqtt/mqtt_client.h"
#include "tests/support/hang_bound.h"
#include "tests/support/mosquitto_broker.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

class TestMqttClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<MosquittoBroker> broker;

    void configure(MqttClient &client)
    {
        client.setHostname(QStringLiteral("127.0.0.1"));
        client.setPort(broker->port());
        client.setUsername(QStringLiteral("user"));
        client.setPassword(QStringLiteral("secret"));
    }

private slots:
    void initTestCase()
    {
        if (const QString reason = MosquittoBroker::unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(reason));
        broker = std::make_unique<MosquittoBroker>(
            QList<MosquittoBroker::User>{{QStringLiteral("user"), QStringLiteral("secret")}},
            QStringList{QStringLiteral("t/#")});
        QVERIFY2(broker->start(), qPrintable(broker->log()));
    }

    void handlersMaySpinTheEventLoop()
    {
        MqttClient client;
        configure(client);
        client.connectToHost();
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), MqttClient::Connected, kHangMs);
        MqttSubscription *subscription = client.subscribe(QStringLiteral("t/#"), 1);
        QVERIFY(subscription);
        QTRY_COMPARE_WITH_TIMEOUT(subscription->state(), MqttSubscription::Subscribed, kHangMs);
        // The same filter again while granted: the same subscription.
        QCOMPARE(client.subscribe(QStringLiteral("t/#"), 1), subscription);

        QStringList received;
        connect(&client, &MqttClient::messageReceived, this, [&received](const QByteArray &message, const QString &) {
            received.append(QString::fromUtf8(message));
            // As the MQTT client's own waits do.
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
        });
        QStringList sent;
        for (int i = 0; i < 20; ++i) {
            sent.append(QString::number(i));
            QVERIFY(client.publish(QStringLiteral("t/x"), sent.last().toUtf8(), 1, false) > 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(received, sent, kHangMs);
        QCOMPARE(client.publish(QStringLiteral("t/+"), "wildcards are no topic name", 1, false), -1);

        client.disconnectFromHost();
        QCOMPARE(client.state(), MqttClient::Disconnected);
        QCOMPARE(client.publish(QStringLiteral("t/x"), "after", 1, false), -1);
        QVERIFY(!client.subscribe(QStringLiteral("t/#"), 1));
    }
};

QTEST_MAIN(TestMqttClient)
#include "tst_mqtt_client.moc"
