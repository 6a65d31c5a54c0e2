#include "settings/counter_key_sync.h"

#include <QDebug>
#include <QFile>

CounterKeySync::CounterKeySync(std::function<void()> sync, QObject *parent)
    : QObject(parent)
    , m_sync(std::move(sync))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSyncMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_sync(); });
}

void CounterKeySync::setSettingsFile(const QString &path)
{
    m_marker = path + QStringLiteral(".counting");
    m_foundAtStart = QFile::exists(m_marker);
    // Gone only once the file has caught up with the store.
    m_marked = m_foundAtStart;
    if (m_foundAtStart)
        qWarning() << "Config::updateCounterValues" << m_marker
                   << "found: the statistics store may hold copies config.ini does not, so the rows are read first";
}

bool CounterKeySync::mark()
{
    if (m_marked)
        return true;
    // Created, not synced: it has to outlive the process, not the machine,
    // like the store's own commits.
    QFile marker(m_marker);
    if (!marker.open(QIODevice::WriteOnly)) {
        qCritical() << "Config::addCounts" << "cannot write" << m_marker << marker.errorString()
                    << "- config.ini is written at once instead";
        return false;
    }
    m_marked = true;
    return true;
}

void CounterKeySync::deferred()
{
    QMetaObject::invokeMethod(this, [this] {
        if (!m_timer.isActive())
            m_timer.start();
    });
}

void CounterKeySync::synced()
{
    if (!m_marked)
        return;
    if (QFile::exists(m_marker) && !QFile::remove(m_marker))
        return;
    m_marked = false;
}
