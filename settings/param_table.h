#pragma once

#include <QMetaType>
#include <QVariant>

#include <array>

// The static description of the sixty table settings: INI key, type, default,
// settings group and the untranslated display label (empty when hidden).
namespace ParamTable {

enum class Group { Hidden, Basic, Log, Flow, Detection, Print };

struct Entry
{
    int id;
    const char *key;
    QMetaType::Type type;
    QVariant defaultValue;
    Group group;
    const char *label; // source text in the "Config" translation context
};

constexpr int kCount = 60;

const Entry &entry(int id);
bool isValidId(int id);

// Registration order at every read and write pass; 46..49 follow only on
// machine version 2.
const std::array<int, 56> &registrationOrder();
const std::array<int, 4> &version2Extras();

// Converts a stored or user-given value to the declared type. Text that does
// not parse as the type gives the type's zero.
QVariant convert(const QVariant &value, QMetaType::Type type);

} // namespace ParamTable
