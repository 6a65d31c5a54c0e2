#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

// Reads a print file for its preview: page 0 of a PDF, or a TIF on the
// version-2 machine (the raster processor prints those).
struct PrintFileContent
{
    bool read = false;  // the file was of a kind that is read (its content may still be empty)
    QSizeF pageMm;      // the page size in millimetres
    QImage preview;     // the page at one pixel per point, turned -90 degrees
};

namespace PrintFileReader {
// Any other file gives read false and leaves the rest empty.
PrintFileContent read(const QString &path, int machineVersion);
// A size in points as millimetres, snapped to a standard page size when close.
QSizeF pointsToMm(const QSizeF &points);
} // namespace PrintFileReader
