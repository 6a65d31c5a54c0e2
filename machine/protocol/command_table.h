#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

namespace MachineFrame {
struct Reply;
}

// The machine's command set in one table: the driver's commands build their
// bodies from it, the receive side resolves replies with it, and the
// simulator answers by its command numbers.
namespace CommandTable {

// Command numbers, the first field of a body and of its reply.
enum Id : int {
    DeviceInfoId = 1,
    ResetId = 2,
    CutMotorStatusId = 3,
    PositionId = 4,
    SpeedId = 6,
    PressureId = 7,
    ScaleId = 9,
    CutModelId = 10,
    WorkAreaId = 11,
    TaskId = 12,
    LightId = 13,
    MoveId = 15,
    FactoryId = 16,
    SensorsId = 17,
    RollersId = 18,
    MotorId = 20,
    PrePlotId = 21,
    PlotSizeId = 22,
    AxisLimitId = 23,
};

// The motors of the motor command (its third field).
enum Motor : int {
    FeedMotorNo = 0,
    FilmMotorNo = 1,
    RectifyMotorNo = 2,
    CollectMotorNo = 3,
    TrimMotorNo = 4,
};

// One row per distinct command (and per unsolicited report).
enum class Command {
    DeviceInfo,
    CutterXClear,
    RectifyReset,
    TrimYReset,
    CutMotorStatus,
    ReadPosition,
    MoveBy,
    ReadSpeed,
    WriteSpeed,
    ReadPressure,
    WritePressure,
    ReadScale,
    WriteScale,
    ReadCutModel,
    WriteCutModel,
    ReadWorkArea,
    WriteWorkArea,
    Pause,
    Resume,
    Stop,
    TaskStatusReport,
    ReadMarkLight,
    WriteMarkLight,
    ReadBackgroundLight,
    WriteBackgroundLight,
    ReadLightStrip,
    WriteLightStrip,
    ReadRgbLight,
    WriteRgbLight,
    MoveX,
    MoveY,
    SaveFactorySet,
    FactoryReset,
    ReadSensors,
    ReadRollers,
    FeedMotor,
    FilmMotor,
    WriteRectifyMotor,
    ReadRectifyMotor,
    WriteCollectMotor,
    ReadCollectMotor,
    WriteTrimX,
    ReadTrimX,
    WriteTrimY,
    ReadTrimY,
    PrePlot,
    PlotSize,
    AxisLimitReport,
};

// How a reply of a command number is accepted.
enum class Accept {
    ByStatus, // its status field is 0
    ExactFields, // it has exactly `fields` fields, status first
    AtLeastFields, // at least `fields`
    Always, // a report without a status
};

// A reply field (index after the id, status is 0) and the whole number it
// must hold for a reply to belong to a row.
struct FieldValue
{
    int index;
    int value;
};

struct Row
{
    Command command;
    int id;
    // With %1, %2, ... for the arguments; null for a report the machine sends unasked.
    const char *body;
    Accept accept;
    int fields;
    // The reply waiter this row's reply wakes; 10000 and above wait long.
    int waitKey;
    // Tells this row's reply apart from others of its number; none: the
    // number's fallback row.
    std::initializer_list<FieldValue> match;
};

const Row &row(Command command);
// Every row, in table order.
const Row *begin();
const Row *end();

// The body of a command with its arguments filled in, e.g. "6,1,0,250;".
QString body(Command command, const QStringList &args = {});

// Sets a parsed reply's wait key and acceptance from the table; replies of
// numbers not in it keep their number and their status decides.
void resolve(MachineFrame::Reply &reply);

} // namespace CommandTable
