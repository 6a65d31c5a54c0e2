// Operations of the camera page built from several commands: the origin,
// the camera-offset move and moves sent as plot data.
#include "machine/command_frame.h"
#include "platform/prompt/prompt.h"
#include "settings/config.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QCoreApplication>
#include <QDebug>

#include <cmath>

namespace {
constexpr double kUnitsPerMm = 40.0;
}

bool TRV610Plus::cutterIdle()
{
    const TaskApp *app = TaskApp::instance();
    const int appStatus = app ? app->taskStatus() : taskStatus();
    return appStatus == 2 && rCutMotorStatus() && cutMotorStatus() == 0;
}

void TRV610Plus::setOrigin()
{
    m_pressureTestCount.store(0);
    if (!cutterIdle()) {
        qWarning() << "TRV610Plus::setOrigin" << "请检查设备状态， 正在执行任务或者未连接";
        qCritical() << "TRV610Plus::setOrigin" << "正在执行,请稍后重试";
        setErrorMessage(tr("请检查设备状态"));
        return;
    }
    if (!rDevicePoint()) {
        qWarning() << "TRV610Plus::setOrigin" << "rDevicePoint failed";
        setErrorMessage(tr("请重试"));
        return;
    }
    const QPointF position = devicePosition();
    {
        QMutexLocker lock(&m_stateLock);
        m_origin = position;
    }
    qDebug() << "TRV610Plus::setOrigin" << "设置原点" << position;
    Prompt::instance()->information(QCoreApplication::applicationName(), tr("设置成功"));
}

void TRV610Plus::gotoOrigin()
{
    const QPointF target = origin();
    if (target.x() == 0.0 && target.y() == 0.0) {
        qWarning() << "TRV610Plus::gotoOrigin" << "未设置原点";
        setErrorMessage(tr("未设置原点"));
        return;
    }
    if (!cutterIdle()) {
        qWarning() << "TRV610Plus::gotoOrigin" << "请检查设备状态， 正在执行任务或者未连接";
        setErrorMessage(tr("请检查设备状态"));
        return;
    }
    if (!rDevicePoint()) {
        qWarning() << "TRV610Plus::gotoOrigin" << "未能获取当前位置 rDevicePoint failed";
        setErrorMessage(tr("请重试"));
        return;
    }
    const QPointF position = devicePosition();
    if (!wDevicePoint(int(target.x() - position.x()), int(target.y() - position.y()))) {
        qWarning() << "TRV610Plus::gotoOrigin" << "wDevicePoint failed";
        setErrorMessage(tr("请重试"));
        return;
    }
    qDebug() << "TRV610Plus::gotoOrigin" << "回到原点" << target;
}

void TRV610Plus::moveOffset()
{
    Config *config = Config::instance();
    const double x = config ? config->markCameraOffsetX() : 0.0;
    const double y = config ? config->markCameraOffsetY() : 0.0;
    if (!wDevicePoint(int(x * kUnitsPerMm), int(y * kUnitsPerMm))) {
        qWarning() << "TRV610Plus::moveOffset" << "wDevicePoint failed";
        setErrorMessage(tr("请重试"));
    }
}

bool TRV610Plus::wDevicePoint(const QPointF &pos)
{
    if (!rPrePltSend())
        return false;
    // std::lround rounds half away from zero.
    const QString body = QStringLiteral("IN;PA;SP2;PU%1,%2;PG;PG;").arg(std::lround(pos.x())).arg(std::lround(pos.y()));
    return sendPlotMove(body, false);
}

bool TRV610Plus::wDevicePoint(const QPointF &pos, int inter)
{
    if (!rPrePltSend())
        return false;
    QString body = QStringLiteral("IN;PA;SP2;");
    for (int i = 1; i <= inter; ++i)
        body += QStringLiteral("PU%1,%2;").arg(int(i * pos.x() / inter)).arg(int(i * pos.y() / inter));
    body += QStringLiteral("PG;PG;");
    return sendPlotMove(body, true);
}

bool TRV610Plus::sendPlotMove(const QString &hpgl, bool waitPlot)
{
    if (!send(CommandTable::Command::PlotSize, {QString::number(hpgl.size()), QString::number(hpgl.size())}))
        return false;
    return sendCMD(packFrame(QStringLiteral("PPLT"), hpgl), waitPlot);
}
