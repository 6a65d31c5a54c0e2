// One method per machine command: its row of the command table, its
// arguments and preconditions. Reply effects are in reply_effects.cpp.
#include "machine/command_frame.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QtMath>

using C = CommandTable::Command;
using CommandFrame::general;

bool TRV610Plus::rDeviceInfo()
{
    return send(C::DeviceInfo);
}

bool TRV610Plus::cutterXClear()
{
    qDebug() << "TRV610Plus::cutterXClear" << "X轴坐标清零";
    return send(C::CutterXClear);
}

bool TRV610Plus::wRectifyMotorReset()
{
    if (!send(C::RectifyReset))
        return false;
    // The web guide starts again from its centre: marks and paper centre
    // measured before are void.
    if (TaskApp *app = TaskApp::instance()) {
        app->setMarkIndex(0);
        app->resetPaperCenter();
    }
    return true;
}

bool TRV610Plus::wTirmMotorYReset()
{
    return send(C::TrimYReset, {}, false);
}

bool TRV610Plus::rCutMotorStatus()
{
    return send(C::CutMotorStatus);
}

bool TRV610Plus::rDevicePoint()
{
    return send(C::ReadPosition);
}

bool TRV610Plus::wDevicePoint(int x, int y)
{
    return send(C::MoveBy, {QString::number(x), QString::number(y)});
}

bool TRV610Plus::rSpeed()
{
    return send(C::ReadSpeed);
}

bool TRV610Plus::wSpeed(double speed)
{
    return send(C::WriteSpeed, {general(speed)});
}

bool TRV610Plus::rPressure()
{
    return send(C::ReadPressure);
}

bool TRV610Plus::wPressure(double pressure)
{
    const double stored = this->pressure();
    if (pressure == stored || qFuzzyCompare(pressure, stored))
        return true;
    return send(C::WritePressure, {general(pressure)});
}

bool TRV610Plus::rScale()
{
    return send(C::ReadScale);
}

bool TRV610Plus::scale()
{
    return rScale();
}

bool TRV610Plus::wScale(double scalex, double scaley)
{
    if (!send(C::WriteScale, {QString::number(scalex, 'f', 4), QString::number(scaley, 'f', 4)}))
        return false;
    setScalex(scalex);
    setScaley(scaley);
    return true;
}

bool TRV610Plus::setScale(double sx, double sy)
{
    // Always sent: the machine may hold factors this program never set.
    if (!send(C::WriteScale, {general(sx), general(sy)}))
        return false;
    setScalex(sx);
    setScaley(sy);
    return true;
}

bool TRV610Plus::rCutModel()
{
    return send(C::ReadCutModel);
}

bool TRV610Plus::wCutModel(int m)
{
    return send(C::WriteCutModel, {QString::number(m)});
}

bool TRV610Plus::workArea()
{
    return send(C::ReadWorkArea);
}

bool TRV610Plus::setWorkArea(const QSizeF &area)
{
    const QSizeF stored = storedWorkArea();
    const auto same = [](double a, double b) {
        if (a == 0.0 || b == 0.0)
            return qAbs(a - b) <= 1e-12;
        return qFuzzyCompare(a, b);
    };
    if (stored.isValid() && same(stored.width(), area.width()) && same(stored.height(), area.height()))
        return true;
    return send(C::WriteWorkArea, {QString::number(qRound(area.width())), QString::number(qRound(area.height()))});
}

bool TRV610Plus::wPause()
{
    return send(C::Pause);
}

bool TRV610Plus::wResume()
{
    return send(C::Resume);
}

bool TRV610Plus::wStop()
{
    return send(C::Stop);
}

bool TRV610Plus::exitTask()
{
    const bool result = wStop();
    if (TaskApp *app = TaskApp::instance()) {
        app->clearFilm(-1);
        app->setMarkIndex(0);
    }
    return result;
}

bool TRV610Plus::rMarkLight()
{
    return send(C::ReadMarkLight);
}

bool TRV610Plus::wMarkLight(int val)
{
    return send(C::WriteMarkLight, {QString::number(val)});
}

bool TRV610Plus::rCheckBackgroundLight()
{
    return send(C::ReadBackgroundLight);
}

bool TRV610Plus::wCheckBackgroundLight(int val)
{
    return send(C::WriteBackgroundLight, {QString::number(val)});
}

bool TRV610Plus::rCheckLightStrip()
{
    return send(C::ReadLightStrip);
}

bool TRV610Plus::wCheckLightStrip(int val)
{
    return send(C::WriteLightStrip, {QString::number(val)});
}

bool TRV610Plus::rRGBLightStrip()
{
    return send(C::ReadRgbLight);
}

bool TRV610Plus::wRGBLightStrip(const QColor &color)
{
    return send(C::WriteRgbLight, {QString::number(color.red()), QString::number(color.green()), QString::number(color.blue())});
}

bool TRV610Plus::moveXAllowed(int direction, qulonglong state)
{
    switch (direction) {
    case -1: return (state & (DS_FilmRollerLimit | DS_CollectRollerFull)) == 0;
    case 0: return true;
    case 1: return (state & (DS_FilmRollerFull | DS_CollectRollerLimit)) == 0;
    default: return false;
    }
}

bool TRV610Plus::isMoveXAllowed() const
{
    return moveXAllowed(feedDirection(), deviceState());
}

bool TRV610Plus::wMoveX(int speed)
{
    if (!moveXAllowed(speed, deviceState()))
        return false;
    if (TaskApp *app = TaskApp::instance())
        app->clearFilm(0);
    m_feedDirection.store(speed);
    return send(C::MoveX, {QString::number(speed)});
}

bool TRV610Plus::wMoveY(int speed)
{
    m_pressureTestCount.store(0);
    if (TaskApp *app = TaskApp::instance())
        app->clearFilm(0);
    return send(C::MoveY, {QString::number(speed)});
}

bool TRV610Plus::wSaveToFactorySet()
{
    return send(C::SaveFactorySet);
}

bool TRV610Plus::wFactoryReset()
{
    return send(C::FactoryReset);
}

bool TRV610Plus::rSensor()
{
    return send(C::ReadSensors);
}

bool TRV610Plus::rGyroscope()
{
    return send(C::ReadRollers);
}

bool TRV610Plus::rPrePltSend()
{
    return send(C::PrePlot);
}

bool TRV610Plus::wPltSize()
{
    const qsizetype size = pltData().size();
    return send(C::PlotSize, {QString::number(size), QString::number(size)});
}

bool TRV610Plus::wPlt()
{
    m_plotting.store(true);
    // HPGL is ASCII: the bytes go out as stored.
    const QByteArray frame = packRawFrame("PPLT;" + pltData());
    qDebug() << "TRV610Plus::wPlt" << frame;
    return sendCMD(frame, false);
}
