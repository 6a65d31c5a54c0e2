#include "settings/wal_checkpointer.h"

#include <QDebug>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <chrono>

WalCheckpointer::WalCheckpointer(const QString &path)
    : m_path(path)
    , m_thread(&WalCheckpointer::run, this)
{
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

void WalCheckpointer::run()
{
    const QString name = QStringLiteral("wal-checkpoint-%1").arg(quintptr(this), 0, 16);
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(kIntervalMs), [this] { return m_stop; })) {
        lock.unlock();
        // Opening a file that is gone would make an empty store.
        if (!QFileInfo::exists(m_path)) {
            lock.lock();
            continue;
        }
        // A connection for each round: between rounds the store has only
        // the connections of the threads that write to it.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_path);
            if (db.open()) {
                QSqlQuery q(db);
                // PASSIVE: neither writers nor readers wait for it.
                if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")))
                    qDebug() << "WalCheckpointer" << m_path << q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        lock.lock();
    }
}
