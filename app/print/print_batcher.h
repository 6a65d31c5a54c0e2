#pragma once

#include <QString>

// Prints the next batch of pages during a job and single PDF files. The
// printing paths are not built yet: each call logs so and prints nothing,
// so printCopies stays and no page record is made.
class PrintBatcher
{
public:
    void print();
    bool printPdfFile(const QString &file, const QString &printerName);
};
