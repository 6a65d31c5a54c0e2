#include "tests/qml/pages/page_test_sim.h"

#include "app/spoolsmith_app.h"

#include "tests/support/device_fixture.h"

#include <QQmlEngine>
#include <QRegularExpression>

namespace {

// "CMD;<id>,<status>,..." with the status replaced.
QByteArray withStatus(const QByteArray &payload, int status)
{
    QString text = QString::fromLatin1(payload);
    static const QRegularExpression head(QStringLiteral("^(\\w+;\\d+,)(-?\\d+)"));
    text.replace(head, QStringLiteral("\\1") + QString::number(status));
    return text.toLatin1();
}

} // namespace

PageTestSim::PageTestSim(DeviceFixture *fixture, QObject *parent)
    : QObject(parent)
    , m_fixture(fixture)
{
}

PageTestSim::~PageTestSim() = default;

void PageTestSim::watchWarnings(QQmlEngine *engine)
{
    // The engine still prints them; the test log shows them beside the case.
    connect(engine, &QQmlEngine::warnings, this, [this](const QList<QQmlError> &errors) {
        for (const QQmlError &e : errors)
            m_warnings.append(e.toString());
    });
}

QStringList PageTestSim::payloads(const QString &prefix) const
{
    QStringList out;
    for (const SimCommand &c : m_fixture->sim->commandLog(prefix.toLatin1()))
        out.append(QString::fromLatin1(c.payload));
    return out;
}

QString PageTestSim::lastPayload() const
{
    return QString::fromLatin1(m_fixture->lastPayload());
}

int PageTestSim::count(int command) const
{
    return m_fixture->sim->commandCount(command);
}

void PageTestSim::clear()
{
    m_fixture->sim->clearReceived();
}

void PageTestSim::setSensor(int number, bool on)
{
    m_fixture->sim->updateState([&](SimMachineState &s) { s.setSensor(number, on); });
}

void PageTestSim::setRollers(double gyroscope, double print, double film, double collect)
{
    m_fixture->sim->updateState([&](SimMachineState &s) {
        s.rollerScript.clear();
        s.setRollers(SimRollers{gyroscope, print, film, collect});
    });
}

bool PageTestSim::connectCamera(QObject *camera)
{
    SpoolsmithApp *app = SpoolsmithApp::instance();
    return app && app->connectCameraObject(camera);
}

void PageTestSim::reportTaskStatus(int status)
{
    m_fixture->sim->reportTaskStatus(status);
}

void PageTestSim::refuse(int command, bool on)
{
    const QMap<int, SimHandler> table = defaultReplyTable();
    const SimHandler normal = table.value(command);
    if (!normal)
        return;
    if (!on) {
        m_fixture->sim->setReplyHandler(command, normal);
        return;
    }
    m_fixture->sim->setReplyHandler(command, [normal](const QStringList &args, SimMachineState &state) {
        SimReply reply = normal(args, state);
        for (QByteArray &p : reply.payloads)
            p = withStatus(p, 1);
        return reply;
    });
}

bool PageTestSim::setFault(const QString &name)
{
    static const QMap<QString, SimFault> faults = {
        {QStringLiteral("none"), SimFault::None},
        {QStringLiteral("noReply"), SimFault::NoReply},
        {QStringLiteral("lateReply"), SimFault::LateReply},
        {QStringLiteral("garbage"), SimFault::Garbage},
        {QStringLiteral("splitBytes"), SimFault::SplitBytes},
        {QStringLiteral("dropConnection"), SimFault::DropConnection},
    };
    if (!faults.contains(name))
        return false;
    m_fixture->sim->setFault(faults.value(name));
    return true;
}

void PageTestSim::dropConnections()
{
    m_fixture->sim->dropConnections();
}

bool PageTestSim::relink()
{
    return m_fixture->link();
}

bool PageTestSim::linked() const
{
    return m_fixture->device->linked();
}

QString PageTestSim::programDir() const
{
    return m_fixture->dir->path();
}

QStringList PageTestSim::takeWarnings()
{
    QStringList out;
    out.swap(m_warnings);
    return out;
}
