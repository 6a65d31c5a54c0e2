#pragma once

#include "machine/trv610plus.h"

#include <QLocale>

// Helpers shared by the command files.
namespace CommandFrame {

inline QByteArray command(const QString &body)
{
    return TRV610Plus::packFrame(QStringLiteral("CCMD"), body);
}

// Shortest general form of a real ("250", "0.5", "1e-05").
inline QString general(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

} // namespace CommandFrame
