// The connection's life: link, address and ident changes, shut-down.
#include "machine/link/machine_link.h"
#include "settings/config.h"
#include "machine/trv610plus.h"

#include <QDebug>

namespace {
// How often a receive thread that lost its connection re-checks whether the
// program has replaced the connection meanwhile.
constexpr int kReceiverLockPollMs = 20;
} // namespace

QString TRV610Plus::ip() const
{
    QMutexLocker lock(&m_stateLock);
    return m_ip;
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
    const QString address = ip();
    QString error;
    if (!m_link->open(address, static_cast<quint16>(m_port.load()), &error)) {
        qCritical() << "TRV610Plus::link" << "Connect failed" << address << m_port.load() << error;
        setIp(QString());
        return false;
    }
    qInfo() << "TRV610Plus::link" << "Connect succeed" << address << m_port.load();

    // A new connection starts from a clean condition set: an axis-limit
    // banner of the old one must not outlive it.
    {
        QMutexLocker lock(&m_stateLock);
        m_limitText.clear();
    }
    setDeviceState(0);
    m_connected.store(true);
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
    m_link->close();
}

void TRV610Plus::dropFromReceiver(quint64 session)
{
    // The program may be replacing this connection while holding the link
    // lock and joining this thread: never block on the lock, give way instead.
    while (!m_linkLock.tryLock(kReceiverLockPollMs)) {
        if (m_link->session() != session)
            return;
    }
    if (m_link->session() == session) {
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
    QMutexLocker mapLock(&m_waiterMapLock);
    m_waiters.clear();
}
