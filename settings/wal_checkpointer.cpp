#include "settings/wal_checkpointer.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <chrono>

WalCheckpointer::WalCheckpointer(const QString &path)
    : m_path(path)
    , m_thread(&WalCheckpointer::run, this)
{
    // The connection is open before the owner goes on: the store's open
    // files stay the same for the whole run (SQLite keeps a closed
    // connection's descriptor while other connections hold locks on the file).
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait(lock, [this] { return m_opened; });
}

WalCheckpointer::~WalCheckpointer()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WalCheckpointer::checkpoint(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    // PASSIVE: neither writers nor readers wait for it.
    if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")))
        qDebug() << "WalCheckpointer" << m_path << q.lastError().text();
}

void WalCheckpointer::run()
{
    const QString name = QStringLiteral("wal-checkpoint-%1").arg(quintptr(this), 0, 16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        // A store another program holds is skipped, never waited for: the
        // owner's start waits for this open.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        const bool open = db.open();
        if (!open)
            qWarning() << "WalCheckpointer" << m_path << db.lastError().text();
        else
            checkpoint(db); // opens the log and its index now, not a second later
        std::unique_lock<std::mutex> lock(m_lock);
        m_opened = true;
        m_wake.notify_all();
        while (open && !m_wake.wait_for(lock, std::chrono::milliseconds(kIntervalMs), [this] { return m_stop; })) {
            lock.unlock();
            checkpoint(db);
            lock.lock();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
