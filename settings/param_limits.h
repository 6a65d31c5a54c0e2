#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>

class Config;

// The sane range of each numeric setting, by INI key, and the check every
// value read from the INI file passes: its type, finiteness and range. A
// value that fails is replaced by the default, with a log line.
namespace ParamLimits {

struct Range
{
    double min;
    double max;
};

// The range of the numeric setting stored under key; none for texts,
// switches and unknown keys (those are checked for their type only).
std::optional<Range> rangeOf(const QString &key);

// stored converted to type when it parses as that type, is finite and lies
// in the key's range; otherwise fallback, logged as "Config::updateValue".
QVariant checked(const QString &key, const QVariant &stored, QMetaType::Type type, const QVariant &fallback);

// A whole-number setting as it is used at run time: the current value when
// it lies in its range, else fallback. Time-outs and sizes read through
// this are always bounded, whatever was set since the start.
int boundedInt(const Config *config, int id, int fallback);

} // namespace ParamLimits
