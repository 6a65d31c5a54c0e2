// The face's commands, camera-page operations, firmware upload and task
// entry points: each forwards to the part that carries it out.
#include "machine/trv610plus.h"

#include "machine/commands/composite_ops.h"
#include "machine/commands/firmware_upload.h"
#include "machine/commands/light_commands.h"
#include "machine/commands/machine_commands.h"
#include "machine/commands/motor_commands.h"
#include "machine/commands/test_cuts.h"
#include "machine/jobs/job_runner.h"
#include "machine/jobs/task_entries.h"

// --- Command set ---

bool TRV610Plus::rDeviceInfo()
{
    return m_commands->rDeviceInfo();
}

bool TRV610Plus::cutterXClear()
{
    return m_commands->cutterXClear();
}

bool TRV610Plus::wRectifyMotorReset()
{
    return m_commands->wRectifyMotorReset();
}

bool TRV610Plus::wTirmMotorYReset()
{
    return m_commands->wTirmMotorYReset();
}

bool TRV610Plus::rCutMotorStatus()
{
    return m_commands->rCutMotorStatus();
}

bool TRV610Plus::rDevicePoint()
{
    return m_commands->rDevicePoint();
}

bool TRV610Plus::wDevicePoint(int x, int y)
{
    return m_commands->wDevicePoint(x, y);
}

bool TRV610Plus::rSpeed()
{
    return m_commands->rSpeed();
}

bool TRV610Plus::wSpeed(double speed)
{
    return m_commands->wSpeed(speed);
}

bool TRV610Plus::rPressure()
{
    return m_commands->rPressure();
}

bool TRV610Plus::wPressure(double pressure)
{
    return m_commands->wPressure(pressure);
}

bool TRV610Plus::rScale()
{
    return m_commands->rScale();
}

bool TRV610Plus::wScale(double scalex, double scaley)
{
    return m_commands->wScale(scalex, scaley);
}

bool TRV610Plus::setScale(double sx, double sy)
{
    return m_commands->setScale(sx, sy);
}

bool TRV610Plus::rCutModel()
{
    return m_commands->rCutModel();
}

bool TRV610Plus::wCutModel(int m)
{
    return m_commands->wCutModel(m);
}

bool TRV610Plus::workArea()
{
    return m_commands->workArea();
}

bool TRV610Plus::setWorkArea(const QSizeF &area)
{
    return m_commands->setWorkArea(area);
}

bool TRV610Plus::wPause()
{
    return m_commands->wPause();
}

bool TRV610Plus::wResume()
{
    return m_commands->wResume();
}

bool TRV610Plus::wStop()
{
    return m_commands->wStop();
}

bool TRV610Plus::exitTask()
{
    return m_commands->exitTask();
}

bool TRV610Plus::wMoveX(int speed)
{
    return m_commands->wMoveX(speed);
}

bool TRV610Plus::wMoveY(int speed)
{
    return m_commands->wMoveY(speed);
}

bool TRV610Plus::wSaveToFactorySet()
{
    return m_commands->wSaveToFactorySet();
}

bool TRV610Plus::wFactoryReset()
{
    return m_commands->wFactoryReset();
}

bool TRV610Plus::rSensor()
{
    return m_commands->rSensor();
}

bool TRV610Plus::rGyroscope()
{
    return m_commands->rGyroscope();
}

bool TRV610Plus::rPrePltSend()
{
    return m_commands->rPrePltSend();
}

bool TRV610Plus::wPltSize()
{
    return m_commands->wPltSize();
}

bool TRV610Plus::wPlt()
{
    return m_commands->wPlt();
}

bool TRV610Plus::scale()
{
    return m_commands->rScale();
}

bool TRV610Plus::wFeedMotorSpeed(int speed)
{
    return m_motors->wFeedMotorSpeed(speed);
}

bool TRV610Plus::wFilmMotorSpeed(int speed)
{
    return m_motors->wFilmMotorSpeed(speed);
}

bool TRV610Plus::rRectifyMotor()
{
    return m_motors->rRectifyMotor();
}

bool TRV610Plus::wRectifyMotor(uint speed, float length)
{
    return m_motors->wRectifyMotor(speed, length);
}

bool TRV610Plus::rCollectMotor()
{
    return m_motors->rCollectMotor();
}

bool TRV610Plus::wCollectMotor(int speed, int length)
{
    return m_motors->wCollectMotor(speed, length);
}

bool TRV610Plus::rTrimMotorX()
{
    return m_motors->rTrimMotorX();
}

bool TRV610Plus::wTrimMotorX(int speed, int length)
{
    return m_motors->wTrimMotorX(speed, length);
}

bool TRV610Plus::rTrimMotorY()
{
    return m_motors->rTrimMotorY();
}

bool TRV610Plus::wTrimMotorYSpeed(int speed)
{
    return m_motors->wTrimMotorYSpeed(speed);
}

bool TRV610Plus::rMarkLight()
{
    return m_lights->rMarkLight();
}

bool TRV610Plus::wMarkLight(int val)
{
    return m_lights->wMarkLight(val);
}

bool TRV610Plus::rCheckBackgroundLight()
{
    return m_lights->rCheckBackgroundLight();
}

bool TRV610Plus::wCheckBackgroundLight(int val)
{
    return m_lights->wCheckBackgroundLight(val);
}

bool TRV610Plus::rCheckLightStrip()
{
    return m_lights->rCheckLightStrip();
}

bool TRV610Plus::wCheckLightStrip(int val)
{
    return m_lights->wCheckLightStrip(val);
}

bool TRV610Plus::rRGBLightStrip()
{
    return m_lights->rRGBLightStrip();
}

bool TRV610Plus::wRGBLightStrip(const QColor &color)
{
    return m_lights->wRGBLightStrip(color);
}

// --- Composite operations ---
void TRV610Plus::setOrigin()
{
    m_composite->setOrigin();
}

void TRV610Plus::gotoOrigin()
{
    m_composite->gotoOrigin();
}

void TRV610Plus::moveOffset()
{
    m_composite->moveOffset();
}

bool TRV610Plus::wDevicePoint(const QPointF &pos)
{
    return m_composite->wDevicePoint(pos);
}

bool TRV610Plus::wDevicePoint(const QPointF &pos, int inter)
{
    return m_composite->wDevicePoint(pos, inter);
}

// --- Test cuts ---
bool TRV610Plus::cut100mmRect()
{
    return m_testCuts->cut100mmRect();
}

bool TRV610Plus::testPressure()
{
    return m_testCuts->testPressure(m_context.config());
}

QByteArray TRV610Plus::pressureTestPattern(int count)
{
    return TestCuts::pressureTestPattern(count, MachineContext().config());
}

// --- Firmware upload ---
void TRV610Plus::slotUpgrade(int upgradeMode, const QByteArray &upgradeFile, const QVariantMap &paramList)
{
    Q_UNUSED(paramList);
    m_upload->upgrade(upgradeMode, upgradeFile);
}

void TRV610Plus::update()
{
    m_upload->update();
}

void TRV610Plus::sendAsync(const QByteArray &frame)
{
    m_upload->sendAsync(frame);
}

bool TRV610Plus::uploadInProgress() const
{
    return m_upload->inProgress();
}

// --- Task entry points ---
void TRV610Plus::wStart()
{
    m_entries->wStart();
}

void TRV610Plus::cut()
{
    m_entries->cut();
}

void TRV610Plus::autoFindPoint()
{
    m_entries->autoFindPoint();
}

void TRV610Plus::autoCheckPoint()
{
    m_entries->autoCheckPoint();
}

void TRV610Plus::cutRepeat()
{
    m_entries->cutRepeat();
}

void TRV610Plus::checkCameraOffset()
{
    m_entries->checkCameraOffset();
}

bool TRV610Plus::createWork(taskInterface *worker)
{
    return m_jobs->createWork(worker);
}

bool TRV610Plus::idle() const
{
    return m_jobs->idle();
}

bool TRV610Plus::waitTaskThread(int timeoutMs)
{
    return m_jobs->waitTaskThread(timeoutMs);
}
