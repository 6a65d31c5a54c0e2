#include "machine/commands/composite_ops.h"

#include "machine/commands/machine_commands.h"
#include "machine/machine_context.h"
#include "machine/protocol/command_channel.h"
#include "machine/state/device_state.h"
#include "machine/task_app.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>

#include <cmath>

namespace {
constexpr double kUnitsPerMm = 40.0;

// The texts are marked where they are written, so that the translation tool
// files them under the driver's context, where they are looked up.
QString userText(const char *text)
{
    return QCoreApplication::translate("TRV610Plus", text);
}
} // namespace

CompositeOps::CompositeOps(CommandChannel &channel, DeviceState &state, const MachineContext &context,
                           MachineCommands &commands)
    : m_channel(channel)
    , m_state(state)
    , m_context(context)
    , m_commands(commands)
{
}

bool CompositeOps::cutterIdle()
{
    const TaskApp *app = m_context.app();
    const int appStatus = app ? app->taskStatus() : m_state.taskStatus.get();
    return appStatus == 2 && m_commands.rCutMotorStatus() && m_state.cutMotorStatus.get() == 0;
}

void CompositeOps::setOrigin()
{
    m_state.pressureTestCount.store(0);
    if (!cutterIdle()) {
        qWarning() << "TRV610Plus::setOrigin" << "请检查设备状态， 正在执行任务或者未连接";
        qCritical() << "TRV610Plus::setOrigin" << "正在执行,请稍后重试";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请检查设备状态")));
        return;
    }
    if (!m_commands.rDevicePoint()) {
        qWarning() << "TRV610Plus::setOrigin" << "rDevicePoint failed";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请重试")));
        return;
    }
    const QPointF position = m_state.devicePosition.get();
    m_state.origin.set(position);
    qDebug() << "TRV610Plus::setOrigin" << "设置原点" << position;
    // The message box is the application's: the driver opens no dialog.
    if (TaskApp *app = m_context.app())
        app->informOperator(userText(QT_TRANSLATE_NOOP("TRV610Plus", "设置成功")));
}

void CompositeOps::gotoOrigin()
{
    const QPointF target = m_state.origin.get();
    if (target.x() == 0.0 && target.y() == 0.0) {
        qWarning() << "TRV610Plus::gotoOrigin" << "未设置原点";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "未设置原点")));
        return;
    }
    if (!cutterIdle()) {
        qWarning() << "TRV610Plus::gotoOrigin" << "请检查设备状态， 正在执行任务或者未连接";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请检查设备状态")));
        return;
    }
    if (!m_commands.rDevicePoint()) {
        qWarning() << "TRV610Plus::gotoOrigin" << "未能获取当前位置 rDevicePoint failed";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请重试")));
        return;
    }
    const QPointF position = m_state.devicePosition.get();
    if (!m_commands.wDevicePoint(int(target.x() - position.x()), int(target.y() - position.y()))) {
        qWarning() << "TRV610Plus::gotoOrigin" << "wDevicePoint failed";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请重试")));
        return;
    }
    qDebug() << "TRV610Plus::gotoOrigin" << "回到原点" << target;
}

void CompositeOps::moveOffset()
{
    const Config *config = m_context.config();
    const double x = config ? config->markCameraOffsetX() : 0.0;
    const double y = config ? config->markCameraOffsetY() : 0.0;
    if (!m_commands.wDevicePoint(int(x * kUnitsPerMm), int(y * kUnitsPerMm))) {
        qWarning() << "TRV610Plus::moveOffset" << "wDevicePoint failed";
        m_state.errorMessage.set(userText(QT_TRANSLATE_NOOP("TRV610Plus", "请重试")));
    }
}

bool CompositeOps::wDevicePoint(const QPointF &pos)
{
    if (!m_commands.rPrePltSend())
        return false;
    // std::lround rounds half away from zero.
    const QString body = QStringLiteral("IN;PA;SP2;PU%1,%2;PG;PG;").arg(std::lround(pos.x())).arg(std::lround(pos.y()));
    return sendPlotMove(body, false);
}

bool CompositeOps::wDevicePoint(const QPointF &pos, int inter)
{
    if (!m_commands.rPrePltSend())
        return false;
    QString body = QStringLiteral("IN;PA;SP2;");
    for (int i = 1; i <= inter; ++i)
        body += QStringLiteral("PU%1,%2;").arg(int(i * pos.x() / inter)).arg(int(i * pos.y() / inter));
    body += QStringLiteral("PG;PG;");
    return sendPlotMove(body, true);
}

bool CompositeOps::sendPlotMove(const QString &hpgl, bool waitPlot)
{
    if (!m_channel.send(CommandTable::Command::PlotSize, {QString::number(hpgl.size()), QString::number(hpgl.size())}))
        return false;
    return m_channel.sendCMD(MachineFrame::pack(QStringLiteral("PPLT"), hpgl), waitPlot);
}
