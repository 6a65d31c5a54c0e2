#include "settings/config.h"
#include "machine/link/tcp_link.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QtMath>

#include <atomic>

namespace {
std::atomic<TRV610Plus *> g_device{nullptr};
}

TRV610Plus *TRV610Plus::instance()
{
    return g_device.load();
}

void TRV610Plus::setInstance(TRV610Plus *device)
{
    g_device.store(device);
}

TRV610Plus::TRV610Plus(QObject *parent)
    : TRV610Plus(std::make_unique<TcpLink>(), parent)
{
}

TRV610Plus::TRV610Plus(std::unique_ptr<MachineLink> link, QObject *parent)
    : QObject(parent)
    , m_link(std::move(link))
{
    m_link->setHandlers([this](const char *data, qsizetype size) { receiveBytes(data, size); },
                        [this](quint64 session) { dropFromReceiver(session); });
    // Readings start at their triggers, so nothing looks out of range
    // before the first report.
    if (Config *config = Config::instance()) {
        m_printRoller = config->printRollerTrigger();
        m_filmRoller = config->filmRollerTrigger();
        m_collectRoller = config->collectRollerTrigger();
        m_gyroscope = config->gyroscopeTrigger();
    }
    m_polling.store(true);
}

TRV610Plus::~TRV610Plus()
{
    waitTaskThread(15000);
    unInit();
    m_link.reset();
}

QString TRV610Plus::ident() const
{
    QMutexLocker lock(&m_stateLock);
    return m_ident;
}

bool TRV610Plus::linked() const
{
    QMutexLocker lock(&m_stateLock);
    return m_linked;
}

void TRV610Plus::setLinked(bool linked)
{
    {
        QMutexLocker lock(&m_stateLock);
        if (m_linked == linked)
            return;
        m_linked = linked;
    }
    emit linkedChanged();
}

float TRV610Plus::updateProgress() const
{
    QMutexLocker lock(&m_stateLock);
    return m_updateProgress;
}

void TRV610Plus::setUpdateProgress(float progress)
{
    {
        QMutexLocker lock(&m_stateLock);
        if (qFuzzyCompare(m_updateProgress, progress))
            return;
        m_updateProgress = progress;
    }
    emit updateProgressChanged();
}

QString TRV610Plus::errorMessage() const
{
    QMutexLocker lock(&m_stateLock);
    return m_errorMessage;
}

void TRV610Plus::setErrorMessage(const QString &text)
{
    {
        QMutexLocker lock(&m_stateLock);
        if (m_errorMessage == text)
            return;
        m_errorMessage = text;
    }
    emit errorMessageChanged();
}
