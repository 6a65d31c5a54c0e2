#pragma once

#include <QLatin1String>
#include <QString>

// The channel to the print component inside the drawing program, chosen as
// the printer "CorelDRAW". The channel itself (shared memory and events) is
// not built yet; a job that prints through it needs no print preview.
class CdrChannel
{
public:
    static bool isChannelPrinter(const QString &printerName)
    {
        return printerName == QLatin1String("CorelDRAW");
    }
};
