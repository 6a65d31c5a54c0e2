#pragma once

#include "app/app_services.h"

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
