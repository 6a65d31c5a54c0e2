#pragma once

#include "machine/protocol/command_table.h"
#include "machine/trv610plus.h"

#include <QLocale>

// Helpers shared by the command files.
namespace CommandFrame {

// Shortest general form of a real ("250", "0.5", "1e-05").
inline QString general(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

} // namespace CommandFrame
