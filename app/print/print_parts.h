#pragma once

#include "app/app_services.h"

#include <QString>

#include <functional>

class TaskCounters;
class PrintFile;
class ProductionRecords;

// What the printing paths read and advance: the settings and the driver,
// the job's counters, the print file with its data row, the page records.
struct PrintParts
{
    AppServices services;
    TaskCounters &counters;
    PrintFile &file;
    ProductionRecords &records;
    // The application's task status (2: no job).
    std::function<int()> taskStatus;
};

// One printed page that the printer prints copies times: the printed
// length, the day's and total print length, and printCopies := lastPage.
void countPrintedPage(const PrintParts &parts, int copies, int lastPage, double pageHeightMm);

// The pages the print component took: counted as printed pages are, at the
// print file's page height.
void countHandedOverPages(const PrintParts &parts, int pages);

// Sets file to the one that prints the next page: with variable data the
// current row's print file. False (logged under prefix) when the print file
// does not hold the row to print: past the last row, a row that failed, a
// sheet still being read.
bool takeNextPageFile(const PrintParts &parts, QString &file, const char *prefix);
// A page of the current row went out: variable data moves on to the next row.
void rowPrinted(const PrintParts &parts);
