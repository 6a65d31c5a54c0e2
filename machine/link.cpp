// The connection's life: link, address and ident changes, shut-down.
#include "machine/link_connection.h"
#include "machine/link_settings.h"
#include "platform/socket/posix_socket.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

#include <system_error>

namespace {
constexpr int kConnectTimeoutMs = 3000;
// A machine that stops reading must not block a sender forever.
constexpr int kSendTimeoutMs = 5000;
// How often a receive thread that lost its connection re-checks whether the
// program has replaced the connection meanwhile.
constexpr int kReceiverLockPollMs = 20;
} // namespace

QString TRV610Plus::ip() const
{
    QMutexLocker lock(&m_stateLock);
    return m_ip;
}

std::shared_ptr<LinkConnection> TRV610Plus::currentConnection() const
{
    QMutexLocker lock(&m_connectionLock);
    return m_connection;
}

void TRV610Plus::setIp(const QString &ip)
{
    QMutexLocker linkLock(&m_linkLock);
    QString old;
    {
        QMutexLocker lock(&m_stateLock);
        if (m_ip == ip)
            return;
        old = m_ip;
    }
    qInfo() << "TRV610Plus::setIp" << old << ip;
    dropConnection();
    {
        QMutexLocker lock(&m_stateLock);
        m_ip = ip;
    }
    if (!ip.isEmpty())
        link();
    emit ipChanged();
}

void TRV610Plus::setIdent(const QString &ident)
{
    QMutexLocker linkLock(&m_linkLock);
    {
        QMutexLocker lock(&m_stateLock);
        if (m_ident == ident)
            return;
        m_ident = ident;
    }
    qInfo() << "TRV610Plus::setIdent" << ident;
    emit identChanged();
    dropConnection();
    // Discovery supplies the address of the machine with this ident.
    QMutexLocker lock(&m_stateLock);
    m_ip.clear();
}

bool TRV610Plus::link()
{
    QMutexLocker linkLock(&m_linkLock);
    joinFinishedReceivers();
    const QString address = ip();
    QString error;
    const int fd = PosixSocket::connectTcp(address, static_cast<quint16>(m_port.load()), kConnectTimeoutMs, &error);
    if (fd < 0) {
        qCritical() << "TRV610Plus::link" << "Connect failed" << address << m_port.load() << error;
        setIp(QString());
        return false;
    }
    qInfo() << "TRV610Plus::link" << "Connect succeed" << address << m_port.load();
    PosixSocket::setNoDelay(fd);
    PosixSocket::setSendTimeout(fd, kSendTimeoutMs);

    // A new connection starts from a clean condition set: an axis-limit
    // banner of the old one must not outlive it.
    {
        QMutexLocker lock(&m_stateLock);
        m_limitText.clear();
    }
    setDeviceState(0);

    auto connection = std::make_shared<LinkConnection>(fd, ++m_generation);
    {
        QMutexLocker lock(&m_connectionLock);
        m_connection = connection;
    }
    m_connected.store(true);
    try {
        std::thread receiver(&TRV610Plus::readData, this, connection);
        QMutexLocker lock(&m_connectionLock);
        m_receiveThread = std::move(receiver);
    } catch (const std::system_error &e) {
        qCritical() << "TRV610Plus::link" << "receive thread failed:" << e.what();
        setIp(QString());
        return false;
    }
    runStartSequence();
    setLinked(true);
    return true;
}

void TRV610Plus::runStartSequence()
{
    // Brings the machine to a known state, each command after the previous
    // reply or its time-out; results are not checked.
    Config *config = Config::instance();
    rDeviceInfo();
    rGyroscope();
    rSensor();
    rCutModel();
    rSpeed();
    rPressure();
    wCheckLightStrip(100 - (config ? config->checkLight() : 0));
    wCheckBackgroundLight(config ? config->checkBKLight() : 0);
    wMarkLight(config ? config->markLight() : 0);
}

void TRV610Plus::dropConnection()
{
    m_connected.store(false);
    setLinked(false);
    // An upload cut off here will never report 100: let the operator start again.
    setUpdateProgress(0.0f);
    ++m_generation;
    std::shared_ptr<LinkConnection> connection;
    std::thread receiver;
    {
        QMutexLocker lock(&m_connectionLock);
        connection = std::move(m_connection);
        receiver = std::move(m_receiveThread);
    }
    if (connection) {
        connection->closedByProgram.store(true);
        connection->shutdown();
    }
    if (!receiver.joinable())
        return;
    if (receiver.get_id() == std::this_thread::get_id()) {
        // The receive thread drops its own link: it cannot join itself, and
        // it ends right after; the next link or shut-down joins it.
        m_finishedReceiver = std::move(receiver);
        return;
    }
    // shutdown() has woken its recv, so this join is short.
    receiver.join();
    joinFinishedReceivers();
}

void TRV610Plus::joinFinishedReceivers()
{
    if (m_finishedReceiver.joinable() && m_finishedReceiver.get_id() != std::this_thread::get_id())
        m_finishedReceiver.join();
}

void TRV610Plus::dropFromReceiver(quint64 generation)
{
    // The program may be replacing this connection while holding the link
    // lock and joining this thread: never block on the lock, give way instead.
    while (!m_linkLock.tryLock(kReceiverLockPollMs)) {
        if (m_generation.load() != generation)
            return;
    }
    if (m_generation.load() == generation) {
        if (ip().isEmpty())
            dropConnection();
        else
            setIp(QString());
    }
    m_linkLock.unlock();
}

void TRV610Plus::sendStopsBeforeShutdown()
{
    wFilmMotorSpeed(0);
    wFeedMotorSpeed(0);
    wCollectMotor(0, 0);
    if (Config::instance() && Config::instance()->trim())
        wTrimMotorX(0, 0);
}

void TRV610Plus::unInit()
{
    // No link may start behind the shut-down.
    stopLinkRequests();
    setTaskStatus(2);
    // The poll and collect workers end their cycles when polling goes off.
    setPolling(false);
    QMutexLocker linkLock(&m_linkLock);
    if (linked())
        sendStopsBeforeShutdown();
    dropConnection();
    // An upload fails fast on the shut socket; its thread uses this object.
    joinUploadThread();
    joinSetupThread();
    joinFinishedReceivers();
    QMutexLocker mapLock(&m_waiterMapLock);
    m_waiters.clear();
}
