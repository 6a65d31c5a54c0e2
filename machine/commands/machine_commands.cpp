// One method per machine command: its row of the command table, its
// arguments and preconditions. Reply effects are in reply_effects.cpp.
#include "machine/commands/machine_commands.h"

#include "machine/commands/plot_buffer.h"
#include "machine/machine_context.h"
#include "machine/protocol/command_channel.h"
#include "machine/state/device_conditions.h"
#include "machine/state/device_state.h"
#include "machine/task_app.h"

#include <QDebug>
#include <QLocale>
#include <QtMath>

using C = CommandTable::Command;

namespace {
// Shortest general form of a real ("250", "0.5", "1e-05").
QString general(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}
} // namespace

MachineCommands::MachineCommands(CommandChannel &channel, DeviceState &state, const MachineContext &context,
                                 PlotBuffer &plot)
    : m_channel(channel)
    , m_state(state)
    , m_context(context)
    , m_plot(plot)
{
}

bool MachineCommands::rDeviceInfo()
{
    return m_channel.send(C::DeviceInfo);
}

bool MachineCommands::cutterXClear()
{
    qDebug() << "TRV610Plus::cutterXClear" << "X轴坐标清零";
    return m_channel.send(C::CutterXClear);
}

bool MachineCommands::wRectifyMotorReset()
{
    if (!m_channel.send(C::RectifyReset))
        return false;
    // The web guide starts again from its centre: marks and paper centre
    // measured before are void.
    if (TaskApp *app = m_context.app()) {
        app->setMarkIndex(0);
        app->resetPaperCenter();
    }
    return true;
}

bool MachineCommands::wTirmMotorYReset()
{
    return m_channel.send(C::TrimYReset, {}, false);
}

bool MachineCommands::rCutMotorStatus()
{
    return m_channel.send(C::CutMotorStatus);
}

bool MachineCommands::rDevicePoint()
{
    return m_channel.send(C::ReadPosition);
}

bool MachineCommands::wDevicePoint(int x, int y)
{
    return m_channel.send(C::MoveBy, {QString::number(x), QString::number(y)});
}

bool MachineCommands::rSpeed()
{
    return m_channel.send(C::ReadSpeed);
}

bool MachineCommands::wSpeed(double speed)
{
    return m_channel.send(C::WriteSpeed, {general(speed)});
}

bool MachineCommands::rPressure()
{
    return m_channel.send(C::ReadPressure);
}

bool MachineCommands::wPressure(double pressure)
{
    const double stored = m_state.pressure.get();
    if (pressure == stored || qFuzzyCompare(pressure, stored))
        return true;
    return m_channel.send(C::WritePressure, {general(pressure)});
}

bool MachineCommands::rScale()
{
    return m_channel.send(C::ReadScale);
}

bool MachineCommands::wScale(double scalex, double scaley)
{
    if (!m_channel.send(C::WriteScale, {QString::number(scalex, 'f', 4), QString::number(scaley, 'f', 4)}))
        return false;
    m_state.scalex.set(scalex);
    m_state.scaley.set(scaley);
    return true;
}

bool MachineCommands::setScale(double sx, double sy)
{
    // Always sent: the machine may hold factors this program never set.
    if (!m_channel.send(C::WriteScale, {general(sx), general(sy)}))
        return false;
    m_state.scalex.set(sx);
    m_state.scaley.set(sy);
    return true;
}

bool MachineCommands::rCutModel()
{
    return m_channel.send(C::ReadCutModel);
}

bool MachineCommands::wCutModel(int m)
{
    return m_channel.send(C::WriteCutModel, {QString::number(m)});
}

bool MachineCommands::workArea()
{
    return m_channel.send(C::ReadWorkArea);
}

bool MachineCommands::setWorkArea(const QSizeF &area)
{
    const QSizeF stored = m_state.workArea.get();
    const auto same = [](double a, double b) {
        if (a == 0.0 || b == 0.0)
            return qAbs(a - b) <= 1e-12;
        return qFuzzyCompare(a, b);
    };
    if (stored.isValid() && same(stored.width(), area.width()) && same(stored.height(), area.height()))
        return true;
    return m_channel.send(C::WriteWorkArea, {QString::number(qRound(area.width())), QString::number(qRound(area.height()))});
}

bool MachineCommands::wPause()
{
    return m_channel.send(C::Pause);
}

bool MachineCommands::wResume()
{
    return m_channel.send(C::Resume);
}

bool MachineCommands::wStop()
{
    return m_channel.send(C::Stop);
}

bool MachineCommands::exitTask()
{
    const bool result = wStop();
    if (TaskApp *app = m_context.app()) {
        app->clearFilm(-1);
        app->setMarkIndex(0);
    }
    return result;
}

bool MachineCommands::isMoveXAllowed() const
{
    return DeviceConditions::moveXAllowed(m_state.feedDirection.load(), m_state.conditions.get());
}

bool MachineCommands::wMoveX(int speed)
{
    if (!DeviceConditions::moveXAllowed(speed, m_state.conditions.get()))
        return false;
    if (TaskApp *app = m_context.app())
        app->clearFilm(0);
    const int previous = m_state.feedDirection.exchange(speed);
    const bool sent = m_channel.send(C::MoveX, {QString::number(speed)});
    // A stop that did not go out leaves the feed as it was, so the poll
    // cycle's safety stop tries again.
    if (!sent && speed == 0)
        m_state.feedDirection.store(previous);
    return sent;
}

bool MachineCommands::wMoveY(int speed)
{
    m_state.pressureTestCount.store(0);
    if (TaskApp *app = m_context.app())
        app->clearFilm(0);
    return m_channel.send(C::MoveY, {QString::number(speed)});
}

bool MachineCommands::wSaveToFactorySet()
{
    return m_channel.send(C::SaveFactorySet);
}

bool MachineCommands::wFactoryReset()
{
    return m_channel.send(C::FactoryReset);
}

bool MachineCommands::rSensor()
{
    return m_channel.send(C::ReadSensors);
}

bool MachineCommands::rGyroscope()
{
    return m_channel.send(C::ReadRollers);
}

bool MachineCommands::rPrePltSend()
{
    return m_channel.send(C::PrePlot);
}

bool MachineCommands::wPltSize()
{
    const qsizetype size = m_plot.data().size();
    return m_channel.send(C::PlotSize, {QString::number(size), QString::number(size)});
}

bool MachineCommands::wPlt()
{
    m_state.plotting.store(true);
    // HPGL is ASCII: the bytes go out as stored.
    const QByteArray frame = MachineFrame::wrap("PPLT;" + m_plot.data());
    qDebug() << "TRV610Plus::wPlt" << frame;
    return m_channel.sendCMD(frame, false);
}
