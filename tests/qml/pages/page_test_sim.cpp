#include "tests/qml/pages/page_test_sim.h"

#include "app/spoolsmith_app.h"

#include "tests/support/device_fixture.h"
#include "platform/camera/hk_camera.h"
#include "settings/config.h"
#include "tests/support/recording_prompt.h"
#include "tests/support/xlsx_writer.h"

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <QVideoSink>

#include <QQmlEngine>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

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
    , m_prompt(std::make_unique<RecordingPrompt>())
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

void PageTestSim::reportAxisLimit(int axis, int position)
{
    m_fixture->sim->reportAxisLimit(axis, position);
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

bool PageTestSim::jobIdle() const
{
    return m_fixture->device->idle();
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

QStringList PageTestSim::takePrompts()
{
    return std::exchange(m_prompt->shown, {});
}

QStringList PageTestSim::takeFileDialogs()
{
    return std::exchange(m_prompt->fileDialogs, {});
}

void PageTestSim::answerFileDialogs(const QStringList &paths)
{
    m_prompt->fileAnswers = paths;
}

bool PageTestSim::writePdf(const QString &path, double widthMm, double heightMm)
{
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF());
    QPainter painter(&pdf);
    if (!painter.isActive())
        return false;
    const QRect page = painter.viewport();
    painter.fillRect(page.adjusted(page.width() / 10, page.height() / 10, -page.width() / 10, -page.height() / 10),
                     Qt::darkBlue);
    return painter.end();
}

bool PageTestSim::writeCutFile(const QString &path, int bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text = "IN;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;\n";
    for (int i = 0; text.size() < bytes; ++i) {
        const QByteArray x = QByteArray::number(400 + i % 3000), y = QByteArray::number(400 + (i / 3000) % 3000);
        text += "PU" + x + ',' + y + ";PD" + x + ',' + QByteArray::number(y.toInt() + 40) + ";\n";
    }
    return file.write(text) == text.size();
}

bool PageTestSim::showVideoFrame(QObject *videoOutput, int width, int height)
{
    auto *sink = videoOutput ? videoOutput->property("videoSink").value<QVideoSink *>() : nullptr;
    if (!sink)
        return false;
    QVideoFrame frame(QVideoFrameFormat(QSize(width, height), QVideoFrameFormat::Format_BGRA8888));
    if (!frame.map(QVideoFrame::WriteOnly))
        return false;
    for (int y = 0; y < height; ++y)
        std::fill_n(reinterpret_cast<quint32 *>(frame.bits(0) + y * frame.bytesPerLine(0)), width, 0xff336699u);
    frame.unmap();
    sink->setVideoFrame(frame);
    return true;
}

bool PageTestSim::writeTextFile(const QString &path, const QString &text)
{
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool PageTestSim::writeXlsx(const QString &path, const QVariantList &rows)
{
    QVector<QStringList> cells;
    for (const QVariant &row : rows)
        cells.append(row.toStringList());
    return writeTestXlsx(path, cells);
}

QStringList PageTestSim::files(const QString &dir, const QString &nameFilter) const
{
    return QDir(dir).entryList({nameFilter}, QDir::Files, QDir::Name);
}

bool PageTestSim::startIndustrialCheckCamera()
{
    SpoolsmithApp *app = SpoolsmithApp::instance();
    if (!app || !m_fixture->config)
        return false;
    m_fixture->config->setIndustrialCameraLister([] { return HKCamera::instance()->serialNumbers(); });
    app->chooseCheckCamera();
    return app->startCameraFrames();
}

void PageTestSim::stopIndustrialCheckCamera()
{
    if (SpoolsmithApp *app = SpoolsmithApp::instance())
        app->stopCameraFrames();
}
