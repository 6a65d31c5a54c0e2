#pragma once

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A real mosquitto broker for tests, started on a free 127.0.0.1 port with a
// password file and an ACL of its own in a temp dir, stopped with the object.
class MosquittoBroker
{
public:
    struct User
    {
        QString name;
        QString password;
    };

    // topics: the topic filters every user may subscribe, publish and
    // receive ("test/#"); any other is refused.
    MosquittoBroker(QList<User> users, QStringList topics);
    ~MosquittoBroker();

    // Why the broker cannot run here (no mosquitto), or empty.
    static QString unavailableReason();
    // Whether a refused subscription gets the broker's refusal back (the ACL
    // plugin was built); a plain acl_file only filters deliveries.
    static bool refusesSubscriptions();

    // Writes the files and starts the broker; true once it takes connections.
    bool start();
    void stop();
    // Stops and starts again on the same port.
    bool restart();
    bool isRunning() const;
    quint16 port() const { return m_port; }
    QString log() const;

private:
    bool writeFiles();
    QByteArray aclPlugin() const;
    bool launch();

    QList<User> m_users;
    QStringList m_topics;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_log;
};
