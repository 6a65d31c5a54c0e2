#include "machine/protocol/command_table.h"

#include "machine/protocol/frame_codec.h"

namespace CommandTable {

namespace {

using C = Command;
using A = Accept;

// Rows of one number are tried in order; the first whose match holds wins,
// a row without a match is the number's fallback.
const Row kRows[] = {
    {C::DeviceInfo, DeviceInfoId, "1,0,0,0,0,0;", A::ExactFields, 6, 1, {}},
    {C::RectifyReset, ResetId, "2,0,4;", A::ExactFields, 3, 10001, {{1, 0}, {2, 4}}},
    {C::TrimYReset, ResetId, "2,3,1;", A::ExactFields, 3, 10002, {{1, 3}, {2, 1}}},
    {C::CutterXClear, ResetId, "2,0,5;", A::ExactFields, 3, 2, {}},
    {C::CutMotorStatus, CutMotorStatusId, "3;", A::ExactFields, 2, 3, {}},
    {C::MoveBy, PositionId, "4,1,%1,%2;", A::ExactFields, 4, 10000, {{1, 1}}},
    {C::ReadPosition, PositionId, "4,0,0,0;", A::ExactFields, 4, 4, {}},
    {C::ReadSpeed, SpeedId, "6,0,0,0;", A::ExactFields, 4, 6, {}},
    {C::WriteSpeed, SpeedId, "6,1,0,%1;", A::ExactFields, 4, 6, {}},
    {C::ReadPressure, PressureId, "7,0,0,0;", A::ExactFields, 4, 7, {}},
    {C::WritePressure, PressureId, "7,1,0,%1;", A::ExactFields, 4, 7, {}},
    {C::ReadScale, ScaleId, "9,0,0,0;", A::ByStatus, 0, 9, {}},
    {C::WriteScale, ScaleId, "9,1,%1,%2;", A::ByStatus, 0, 9, {}},
    {C::ReadCutModel, CutModelId, "10,0,0;", A::ExactFields, 3, 10, {}},
    {C::WriteCutModel, CutModelId, "10,1,%1;", A::ExactFields, 3, 10, {}},
    {C::ReadWorkArea, WorkAreaId, "11,0,0,0;", A::ExactFields, 4, 11, {}},
    {C::WriteWorkArea, WorkAreaId, "11,1,%1,%2;", A::ExactFields, 4, 11, {}},
    // The task reply carries the new status, which tells pause, resume and stop apart.
    {C::Pause, TaskId, "12,0;", A::ExactFields, 2, 101, {{1, 0}}},
    {C::Resume, TaskId, "12,1;", A::ExactFields, 2, 102, {{1, 1}}},
    {C::Stop, TaskId, "12,2;", A::ExactFields, 2, 100, {{1, 2}}},
    {C::TaskStatusReport, TaskId, nullptr, A::ExactFields, 2, 12, {}},
    {C::ReadMarkLight, LightId, "13,0,0,0,0,0;", A::ByStatus, 0, 13, {}},
    {C::WriteMarkLight, LightId, "13,1,0,%1,0,0;", A::ByStatus, 0, 13, {}},
    {C::ReadBackgroundLight, LightId, "13,0,1,0,0,0;", A::ByStatus, 0, 13, {}},
    {C::WriteBackgroundLight, LightId, "13,1,1,%1,0,0;", A::ByStatus, 0, 13, {}},
    {C::ReadLightStrip, LightId, "13,0,2,0,0,0;", A::ByStatus, 0, 13, {}},
    {C::WriteLightStrip, LightId, "13,1,2,%1,0,0;", A::ByStatus, 0, 13, {}},
    {C::ReadRgbLight, LightId, "13,0,3,0,0,0;", A::ByStatus, 0, 13, {}},
    {C::WriteRgbLight, LightId, "13,1,3,%1,%2,%3;", A::ByStatus, 0, 13, {}},
    {C::MoveX, MoveId, "15,%1,0;", A::ByStatus, 0, 15, {}},
    {C::MoveY, MoveId, "15,0,%1;", A::ByStatus, 0, 15, {}},
    {C::SaveFactorySet, FactoryId, "16,0;", A::ExactFields, 2, 16, {}},
    {C::FactoryReset, FactoryId, "16,1;", A::ExactFields, 2, 16, {}},
    {C::ReadSensors, SensorsId, "17;", A::AtLeastFields, 8, 17, {}},
    {C::ReadRollers, RollersId, "18,0,0;", A::ExactFields, 9, 18, {}},
    // Motor replies: status, selector (1 write, 0 read), motor, axis, speed,
    // length, state. Trim X (axis 0) is tried before trim Y (any other axis).
    {C::WriteRectifyMotor, MotorId, "20,1,2,0,%1,%2;", A::ExactFields, 7, 103, {{1, 1}, {2, 2}}},
    {C::ReadRectifyMotor, MotorId, "20,0,2,0,0,0;", A::ExactFields, 7, 104, {{1, 0}, {2, 2}}},
    {C::WriteCollectMotor, MotorId, "20,1,3,0,%1,%2;", A::ExactFields, 7, 105, {{1, 1}, {2, 3}}},
    {C::ReadCollectMotor, MotorId, "20,0,3,0,0,0;", A::ExactFields, 7, 106, {{1, 0}, {2, 3}}},
    {C::WriteTrimX, MotorId, "20,1,4,0,%1,%2;", A::ExactFields, 7, 107, {{1, 1}, {2, 4}, {3, 0}}},
    {C::ReadTrimX, MotorId, "20,0,4,0,0,0;", A::ExactFields, 7, 108, {{1, 0}, {2, 4}, {3, 0}}},
    {C::WriteTrimY, MotorId, "20,1,4,1,%1,%2;", A::ExactFields, 7, 109, {{1, 1}, {2, 4}}},
    {C::ReadTrimY, MotorId, "20,0,4,1,0,0;", A::ExactFields, 7, 110, {{1, 0}, {2, 4}}},
    {C::FeedMotor, MotorId, "20,1,0,0,%1,0;", A::ExactFields, 7, 20, {}},
    {C::FilmMotor, MotorId, "20,1,1,0,%1,0;", A::ExactFields, 7, 20, {}},
    {C::PrePlot, PrePlotId, "21;", A::ByStatus, 0, 21, {}},
    {C::PlotSize, PlotSizeId, "22,%1,%2;", A::ByStatus, 0, 22, {}},
    // The limit report has no status: "23,axis,position".
    {C::AxisLimitReport, AxisLimitId, nullptr, A::Always, 0, 23, {}},
};

bool holds(const Row &r, const QStringList &fields)
{
    for (const FieldValue &m : r.match) {
        bool ok = false;
        if (m.index >= fields.size() || fields.at(m.index).toInt(&ok) != m.value || !ok)
            return false;
    }
    return true;
}

} // namespace

const Row *begin()
{
    return std::begin(kRows);
}

const Row *end()
{
    return std::end(kRows);
}

const Row &row(Command command)
{
    for (const Row &r : kRows) {
        if (r.command == command)
            return r;
    }
    Q_UNREACHABLE();
}

QString body(Command command, const QStringList &args)
{
    QString text = QString::fromLatin1(row(command).body);
    for (const QString &arg : args)
        text = text.arg(arg);
    return text;
}

void resolve(MachineFrame::Reply &reply)
{
    const Row *found = nullptr;
    const Row *fallback = nullptr;
    for (const Row &r : kRows) {
        if (r.id != reply.key)
            continue;
        if (r.match.size() == 0) {
            if (!fallback)
                fallback = &r;
        } else if (holds(r, reply.fields)) {
            found = &r;
            break;
        }
    }
    if (!found)
        found = fallback;
    if (!found)
        return; // accepted by status, as parsed
    const int n = int(reply.fields.size());
    switch (found->accept) {
    case Accept::ByStatus: break;
    case Accept::ExactFields: reply.ok = n == found->fields; break;
    case Accept::AtLeastFields: reply.ok = n >= found->fields; break;
    case Accept::Always: reply.ok = true; break;
    }
    reply.key = found->waitKey;
}

} // namespace CommandTable
