#include "tests/support/mosquitto_broker.h"
#include "tests/support/hang_bound.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace {

QString brokerProgram()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
    return found;
}

QString passwdProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd"));
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

MosquittoBroker::MosquittoBroker(QList<User> users, QStringList topics)
    : m_users(std::move(users))
    , m_topics(std::move(topics))
{
}

QByteArray MosquittoBroker::aclPlugin() const
{
#ifdef SPOOLSMITH_MOSQUITTO_ACL_PLUGIN
    return "plugin " SPOOLSMITH_MOSQUITTO_ACL_PLUGIN "\nplugin_opt_topics " + m_topics.join(QLatin1Char(' ')).toUtf8()
        + "\n";
#else
    return QByteArray();
#endif
}

bool MosquittoBroker::refusesSubscriptions()
{
#ifdef SPOOLSMITH_MOSQUITTO_ACL_PLUGIN
    return QFile::exists(QStringLiteral(SPOOLSMITH_MOSQUITTO_ACL_PLUGIN));
#else
    return false;
#endif
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

QString MosquittoBroker::unavailableReason()
{
    if (brokerProgram().isEmpty())
        return QStringLiteral("mosquitto is not installed");
    if (passwdProgram().isEmpty())
        return QStringLiteral("mosquitto_passwd is not installed");
    return QString();
}

bool MosquittoBroker::writeFiles()
{
    const QString dir = m_dir.path();
    QFile acl(dir + QStringLiteral("/acl"));
    if (!acl.open(QIODevice::WriteOnly))
        return false;
    for (const User &user : m_users) {
        acl.write("user " + user.name.toUtf8() + "\n");
        for (const QString &topic : m_topics)
            acl.write("topic readwrite " + topic.toUtf8() + "\n");
        acl.write("\n");
    }
    acl.close();

    const QString passwd = dir + QStringLiteral("/passwd");
    QFile::remove(passwd);
    QFile(passwd).open(QIODevice::WriteOnly);
    for (const User &user : m_users) {
        QProcess tool;
        tool.start(passwdProgram(), {QStringLiteral("-b"), passwd, user.name, user.password});
        if (!tool.waitForFinished(kHangMs) || tool.exitCode() != 0)
            return false;
    }

    QFile conf(dir + QStringLiteral("/mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n"
        "persistence false\n"
        // A test's flood reaches its receiver whole, however far it lags.
        "max_queued_messages 0\n"
        "allow_anonymous false\n"
        "password_file " + passwd.toUtf8() + "\n"
        + (refusesSubscriptions() ? aclPlugin() : "acl_file " + dir.toUtf8() + "/acl\n")
        // Started as root it would switch to the user "mosquitto", who cannot
        // read the private temp dir.
        + QByteArray(::geteuid() == 0 ? "user root\n" : "") +
        "log_dest file " + dir.toUtf8() + "/broker.log\n"
        "log_type error\nlog_type warning\nlog_type notice\nlog_type information\nlog_type subscribe\nlog_type unsubscribe\n";
    conf.write(text);
    return true;
}

bool MosquittoBroker::start()
{
    if (!unavailableReason().isEmpty() || !m_dir.isValid())
        return false;
    if (m_port == 0)
        m_port = freeLoopbackPort();
    if (m_port == 0 || !writeFiles())
        return false;
    return launch();
}

bool MosquittoBroker::launch()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(brokerProgram(), {QStringLiteral("-c"), m_dir.path() + QStringLiteral("/mosquitto.conf")});
    if (!m_process->waitForStarted(kHangMs))
        return false;
    // Ready once it accepts a connection; a port still held elsewhere makes
    // it exit, which ends the wait too.
    QDeadlineTimer deadline(kHangMs);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        m_process->waitForReadyRead(50);
    }
    m_log += m_process->readAll();
    return false;
}

void MosquittoBroker::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(kHangMs)) {
            m_process->kill();
            m_process->waitForFinished(kHangMs);
        }
    }
    m_log += m_process->readAll();
    m_process.reset();
}

bool MosquittoBroker::restart()
{
    stop();
    return launch();
}

bool MosquittoBroker::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString MosquittoBroker::log() const
{
    // The broker writes its log to a file (its standard output is buffered).
    QFile file(m_dir.path() + QStringLiteral("/broker.log"));
    QByteArray all = m_log;
    if (file.open(QIODevice::ReadOnly))
        all += file.readAll();
    return QString::fromUtf8(all);
}
