#pragma once

#include <QString>

// The machine's condition bits (the face's deviceState) and what follows
// from them: the banner text and which feed directions stay allowed.
namespace DeviceConditions {

constexpr qulonglong Gyroscope = 0x1;
constexpr qulonglong PrintRollerLimit = 0x2;
constexpr qulonglong PrintRollerFull = 0x4;
constexpr qulonglong FilmRollerLimit = 0x8;
constexpr qulonglong FilmRollerFull = 0x10;
constexpr qulonglong CollectRollerLimit = 0x20;
constexpr qulonglong CollectRollerFull = 0x40;
constexpr qulonglong DefectFailed = 0x80;
constexpr qulonglong AxisLimit = 0x100;
constexpr qulonglong Rectify = 0x200;

// The axis-limit text, then one text per set bit in the banner's order:
// 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x200, 0x80.
QString banner(qulonglong state, const QString &limitText, bool scanAndTrim);

// Whether feeding in direction (-1, 0, 1) is allowed with these bits.
bool moveXAllowed(int direction, qulonglong state);

} // namespace DeviceConditions
