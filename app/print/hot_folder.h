#pragma once

#include "app/print/print_parts.h"

#include <QString>

#include <functional>

// The raster image processor's hot folder: one copy of the print file per
// page, named "<printCopies + 1>_<ms clock>_<file name>"; with variable data
// each page is the next row's print file, up to the last row.
class HotFolder
{
public:
    using Clock = std::function<qint64()>;
    // clock: milliseconds for the name, the wall clock unless given.
    explicit HotFolder(const PrintParts &parts, Clock clock = {});

    // False when a copy failed: it counts nothing and the next one keeps its
    // number. The end of the data ends the copies, no failure; so does a
    // stop (stopped true), before the next copy.
    bool copyPages(const QString &folder, const QString &file, int pages, double pageHeightMm,
                   const std::function<bool()> &stopped = {});

private:
    PrintParts m_parts;
    Clock m_clock;
};
