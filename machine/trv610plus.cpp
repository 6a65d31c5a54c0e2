// The face's life: its parts built and wired, shut-down, and the change
// signals of the device state.
#include "machine/trv610plus.h"

#include "machine/commands/command_sequences.h"
#include "machine/commands/composite_ops.h"
#include "machine/commands/firmware_upload.h"
#include "machine/commands/light_commands.h"
#include "machine/commands/machine_commands.h"
#include "machine/commands/motor_commands.h"
#include "machine/commands/plot_buffer.h"
#include "machine/commands/test_cuts.h"
#include "machine/jobs/job_runner.h"
#include "machine/jobs/task_entries.h"
#include "machine/jobs/task_worker.h"
#include "machine/link/link_requests.h"
#include "machine/link/link_session.h"
#include "machine/link/tcp_link.h"
#include "machine/protocol/command_channel.h"
#include "machine/state/device_state.h"
#include "machine/state/reply_effects.h"
#include "settings/config.h"

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
    , m_state(std::make_unique<DeviceState>([this](DeviceField field) { emitChanged(field); }))
    , m_link(std::move(link))
    , m_channel(std::make_unique<CommandChannel>(*m_link, m_context))
    , m_plot(std::make_unique<PlotBuffer>())
    , m_commands(std::make_unique<MachineCommands>(*m_channel, *m_state, m_context, *m_plot))
    , m_motors(std::make_unique<MotorCommands>(*m_channel, *m_state))
    , m_lights(std::make_unique<LightCommands>(*m_channel))
    , m_sequences(std::make_unique<CommandSequences>(*m_commands, *m_lights, *m_motors, m_context))
    , m_composite(std::make_unique<CompositeOps>(*m_channel, *m_state, m_context, *m_commands))
    , m_upload(std::make_unique<FirmwareUpload>(*m_channel, *m_state, [this] {
        return m_state->taskStatus.get() != 2 || (m_jobs && !m_jobs->idle());
    }))
{
    // Readings start at their triggers, so nothing looks out of range
    // before the first report.
    if (const Config *config = m_context.config()) {
        m_state->printRoller.set(config->printRollerTrigger());
        m_state->filmRoller.set(config->filmRollerTrigger());
        m_state->collectRoller.set(config->collectRollerTrigger());
        m_state->gyroscope.set(config->gyroscopeTrigger());
    }
    m_effects = std::make_unique<ReplyEffects>(*m_state, m_context, [this] { m_sequences->resendSetupLater(); });
    m_channel->setHandlers([this](int id, MachineFrame::Reply &reply) { m_effects->apply(id, reply); },
                           [this](float percent) { m_state->updateProgress.set(percent); });
    m_session = std::make_unique<LinkSession>(*m_link, *m_channel, *m_state,
                                              LinkSession::Hooks{[this] { m_sequences->start(); },
                                                                 [this] { m_sequences->stopMotors(); }});
    m_link->setHandlers([this](const char *data, qsizetype size) { m_channel->receiveBytes(data, size); },
                        [this](quint64 session) { m_session->lost(session); });
    m_link->setSessionStarted([this] { m_channel->startReceiving(); });
    m_linkRequests = std::make_unique<LinkRequests>([this](const QString &ip) { m_session->followAnnounced(ip); });
    m_jobs = std::make_unique<JobRunner>(*this, *m_state, m_context);
    connect(this, &TRV610Plus::pollingChanged, m_jobs.get(), [this] { m_jobs->setPolling(polling()); },
            Qt::DirectConnection);
    m_entries = std::make_unique<TaskEntries>(*this, *m_jobs, *m_state, *m_plot, m_context);
    m_testCuts = std::make_unique<TestCuts>(
        *m_state, [this](const QByteArray &plot) { return m_entries->startPlotJob(plot, TK_Cut); });
}

TRV610Plus::~TRV610Plus()
{
    waitTaskThread(15000);
    unInit();
    m_jobs.reset();
    // The link's receive thread calls into the parts: it goes first.
    m_link.reset();
}

void TRV610Plus::unInit()
{
    // No link may start behind the shut-down.
    m_linkRequests->stop();
    setTaskStatus(2);
    // The poll and collect cycles end when polling goes off.
    setPolling(false);
    m_jobs->stopControlCycles();
    // The job's last step (a copy being counted, a stop being sent) ends
    // while the link is still there.
    m_jobs->waitTaskThread(15000);
    m_session->close();
    joinBackgroundRuns();
    m_channel->clearWaiters();
}

void TRV610Plus::joinBackgroundRuns()
{
    // An upload fails fast on the closed link; its thread uses the parts.
    m_upload->join();
    m_sequences->join();
}

void TRV610Plus::emitChanged(DeviceField field)
{
    using F = DeviceField;
    switch (field) {
    case F::None: break;
    case F::Ident: emit identChanged(); break;
    case F::Ip: emit ipChanged(); break;
    case F::Linked: emit linkedChanged(); break;
    case F::UpdateProgress: emit updateProgressChanged(); break;
    case F::ErrorMessage: emit errorMessageChanged(); break;
    case F::DevType: emit devTypeChanged(); break;
    case F::DevId: emit devIdChanged(); break;
    case F::PcbId: emit pcbIdChanged(); break;
    case F::PcbVer: emit pcbVerChanged(); break;
    case F::Firmware: emit firmwareChanged(); break;
    case F::PrintRoller: emit printRollerChanged(); break;
    case F::FilmRoller: emit filmRollerChanged(); break;
    case F::CollectRoller: emit collectRollerChanged(); break;
    case F::Gyroscope: emit gyroscopeChanged(); break;
    case F::Pressure: emit pressureChanged(); break;
    case F::Speed: emit speedChanged(); break;
    case F::Scalex: emit scalexChanged(); break;
    case F::Scaley: emit scaleyChanged(); break;
    case F::Sensor1: emit sensor1Changed(); break;
    case F::Sensor2: emit sensor2Changed(); break;
    case F::Sensor3: emit sensor3Changed(); break;
    case F::Sensor4: emit sensor4Changed(); break;
    case F::Sensor5: emit sensor5Changed(); break;
    case F::Sensor6: emit sensor6Changed(); break;
    case F::Sensor7: emit sensor7Changed(); break;
    case F::CutModel: emit cutModelChanged(); break;
    case F::CutMotorStatus: emit cutMotorStatusChanged(); break;
    case F::MarkLight: emit markLightChanged(); break;
    case F::CheckBackgroundLight: emit checkBackgroundLightChanged(); break;
    case F::CheckLightStrip: emit checkLightStripChanged(); break;
    case F::RgbLightStrip: emit rgbLightStripChanged(); break;
    case F::Polling: emit pollingChanged(); break;
    case F::Conditions: emit deviceStateChanged(); break;
    case F::UpdateFile: emit updateFileChanged(); break;
    case F::Index: emit indexChanged(); break;
    case F::Progress: emit progressChanged(); break;
    case F::FeedMotorRunning: emit feedMotorRunningChanged(); break;
    case F::FilmMotorRunning: emit filmMotorRunningChanged(); break;
    case F::CollectMotorRunning: emit collectMotorRunningChanged(); break;
    case F::TaskStatus: emit taskStatusChanged(); break;
    }
}

// --- Machine link ---

QString TRV610Plus::ip() const
{
    return m_session->ip();
}

void TRV610Plus::setIp(const QString &ip)
{
    m_session->setIp(ip);
}

void TRV610Plus::requestIp(const QString &ip)
{
    m_linkRequests->request(ip);
}

QString TRV610Plus::ident() const
{
    return m_state->ident.get();
}

void TRV610Plus::setIdent(const QString &ident)
{
    m_session->setIdent(ident);
}

int TRV610Plus::port() const
{
    return m_session->port();
}

void TRV610Plus::setPort(int port)
{
    m_session->setPort(port);
}

bool TRV610Plus::connected() const
{
    return m_channel->connected();
}

bool TRV610Plus::link()
{
    return m_session->link();
}

bool TRV610Plus::linked() const
{
    return m_state->linked.get();
}

void TRV610Plus::setLinked(bool linked)
{
    m_state->linked.set(linked);
}

QByteArray TRV610Plus::packFrame(const QString &header, const QString &body)
{
    return MachineFrame::pack(header, body);
}

QByteArray TRV610Plus::packRawFrame(const QByteArray &payload)
{
    return MachineFrame::wrap(payload);
}

bool TRV610Plus::sendCMD(const QByteArray &frame, bool waitReturn, int key)
{
    return m_channel->sendCMD(frame, waitReturn, key);
}

bool TRV610Plus::sendMsg(const QByteArray &frame)
{
    return m_channel->sendMsg(frame);
}

quint64 TRV610Plus::packetsSent() const
{
    return m_channel->packetsSent();
}

std::optional<MachineFrame::Reply> TRV610Plus::dealReturn(const QByteArray &frame)
{
    return m_channel->dealReturn(frame);
}

void TRV610Plus::decode(const QByteArray &frame)
{
    m_channel->decode(frame);
}

QByteArray TRV610Plus::pltData() const
{
    return m_plot->data();
}

void TRV610Plus::setPltData(const QByteArray &data)
{
    m_plot->setData(data);
}

void TRV610Plus::clearPltData()
{
    m_plot->clear();
}
