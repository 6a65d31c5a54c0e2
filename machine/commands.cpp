// One method per machine command: the exact body, the wait key and the
// preconditions. Reply effects are in reply_effects.cpp.
#include "machine/command_frame.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QtMath>

using CommandFrame::command;
using CommandFrame::general;

namespace {
constexpr int kStopKey = 100;
constexpr int kPauseKey = 101;
constexpr int kResumeKey = 102;
constexpr int kMoveKey = 10000;
constexpr int kRectifyResetKey = 10001;
} // namespace

bool TRV610Plus::rDeviceInfo()
{
    return sendCMD(command(QStringLiteral("1,0,0,0,0,0;")));
}

bool TRV610Plus::cutterXClear()
{
    qDebug() << "TRV610Plus::cutterXClear" << "X轴坐标清零";
    return sendCMD(command(QStringLiteral("2,0,5;")));
}

bool TRV610Plus::wRectifyMotorReset()
{
    if (!sendCMD(command(QStringLiteral("2,0,4;")), true, kRectifyResetKey))
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
    return sendCMD(command(QStringLiteral("2,3,1;")), false);
}

bool TRV610Plus::rCutMotorStatus()
{
    return sendCMD(command(QStringLiteral("3;")));
}

bool TRV610Plus::rDevicePoint()
{
    return sendCMD(command(QStringLiteral("4,0,0,0;")));
}

bool TRV610Plus::wDevicePoint(int x, int y)
{
    return sendCMD(command(QStringLiteral("4,1,%1,%2;").arg(x).arg(y)), true, kMoveKey);
}

bool TRV610Plus::rSpeed()
{
    return sendCMD(command(QStringLiteral("6,0,0,0;")));
}

bool TRV610Plus::wSpeed(double speed)
{
    return sendCMD(command(QStringLiteral("6,1,0,%1;").arg(general(speed))));
}

bool TRV610Plus::rPressure()
{
    return sendCMD(command(QStringLiteral("7,0,0,0;")));
}

bool TRV610Plus::wPressure(double pressure)
{
    const double stored = this->pressure();
    if (pressure == stored || qFuzzyCompare(pressure, stored))
        return true;
    return sendCMD(command(QStringLiteral("7,1,0,%1;").arg(general(pressure))));
}

bool TRV610Plus::rScale()
{
    return sendCMD(command(QStringLiteral("9,0,0,0;")));
}

bool TRV610Plus::scale()
{
    return rScale();
}

bool TRV610Plus::wScale(double scalex, double scaley)
{
    if (!sendCMD(command(QStringLiteral("9,1,%1,%2;").arg(scalex, 0, 'f', 4).arg(scaley, 0, 'f', 4))))
        return false;
    setScalex(scalex);
    setScaley(scaley);
    return true;
}

bool TRV610Plus::setScale(double sx, double sy)
{
    // Always sent: the machine may hold factors this program never set.
    if (!sendCMD(command(QStringLiteral("9,1,%1,%2;").arg(general(sx), general(sy)))))
        return false;
    setScalex(sx);
    setScaley(sy);
    return true;
}

bool TRV610Plus::rCutModel()
{
    return sendCMD(command(QStringLiteral("10,0,0;")));
}

bool TRV610Plus::wCutModel(int m)
{
    return sendCMD(command(QStringLiteral("10,1,%1;").arg(m)));
}

bool TRV610Plus::workArea()
{
    return sendCMD(command(QStringLiteral("11,0,0,0;")));
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
    return sendCMD(command(QStringLiteral("11,1,%1,%2;").arg(qRound(area.width())).arg(qRound(area.height()))));
}

bool TRV610Plus::wPause()
{
    return sendCMD(command(QStringLiteral("12,0;")), true, kPauseKey);
}

bool TRV610Plus::wResume()
{
    return sendCMD(command(QStringLiteral("12,1;")), true, kResumeKey);
}

bool TRV610Plus::wStop()
{
    return sendCMD(command(QStringLiteral("12,2;")), true, kStopKey);
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
    return sendCMD(command(QStringLiteral("13,0,0,0,0,0;")));
}

bool TRV610Plus::wMarkLight(int val)
{
    return sendCMD(command(QStringLiteral("13,1,0,%1,0,0;").arg(val)));
}

bool TRV610Plus::rCheckBackgroundLight()
{
    return sendCMD(command(QStringLiteral("13,0,1,0,0,0;")));
}

bool TRV610Plus::wCheckBackgroundLight(int val)
{
    return sendCMD(command(QStringLiteral("13,1,1,%1,0,0;").arg(val)));
}

bool TRV610Plus::rCheckLightStrip()
{
    return sendCMD(command(QStringLiteral("13,0,2,0,0,0;")));
}

bool TRV610Plus::wCheckLightStrip(int val)
{
    return sendCMD(command(QStringLiteral("13,1,2,%1,0,0;").arg(val)));
}

bool TRV610Plus::rRGBLightStrip()
{
    return sendCMD(command(QStringLiteral("13,0,3,0,0,0;")));
}

bool TRV610Plus::wRGBLightStrip(const QColor &color)
{
    return sendCMD(command(QStringLiteral("13,1,3,%1,%2,%3;").arg(color.red()).arg(color.green()).arg(color.blue())));
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
    return sendCMD(command(QStringLiteral("15,%1,0;").arg(speed)));
}

bool TRV610Plus::wMoveY(int speed)
{
    m_pressureTestCount.store(0);
    if (TaskApp *app = TaskApp::instance())
        app->clearFilm(0);
    return sendCMD(command(QStringLiteral("15,0,%1;").arg(speed)));
}

bool TRV610Plus::wSaveToFactorySet()
{
    return sendCMD(command(QStringLiteral("16,0;")));
}

bool TRV610Plus::wFactoryReset()
{
    return sendCMD(command(QStringLiteral("16,1;")));
}

bool TRV610Plus::rSensor()
{
    return sendCMD(command(QStringLiteral("17;")));
}

bool TRV610Plus::rGyroscope()
{
    return sendCMD(command(QStringLiteral("18,0,0;")));
}

bool TRV610Plus::rPrePltSend()
{
    return sendCMD(command(QStringLiteral("21;")));
}

bool TRV610Plus::wPltSize()
{
    const qsizetype size = pltData().size();
    return sendCMD(command(QStringLiteral("22,%1,%2;").arg(size).arg(size)));
}

bool TRV610Plus::wPlt()
{
    m_plotting.store(true);
    // HPGL is ASCII: the bytes go out as stored.
    const QByteArray frame = packRawFrame("PPLT;" + pltData());
    qDebug() << "TRV610Plus::wPlt" << frame;
    return sendCMD(frame, false);
}
