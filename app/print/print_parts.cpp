#include "app/print/print_parts.h"

#include "app/print/print_file.h"
#include "app/task/task_counters.h"
#include "settings/config.h"

#include <QDebug>

void countPrintedPage(const PrintParts &parts, int copies, int lastPage, double pageHeightMm)
{
    parts.counters.addPrintedLength(copies * pageHeightMm);
    if (Config *config = parts.services.config()) {
        WorkDataRecord delta;
        delta.printLen = copies * pageHeightMm * 0.001;
        config->addCounts(delta);
    }
    parts.counters.setPrintCopies(lastPage);
}

void countHandedOverPages(const PrintParts &parts, int pages)
{
    countPrintedPage(parts, pages, parts.counters.printCopies() + pages, parts.file.printPageSize().height());
}

bool takeNextPageFile(const PrintParts &parts, QString &file, const char *prefix)
{
    if (!parts.file.enabledDataSource())
        return true;
    // Printing the previous row's file again would duplicate that label.
    if (parts.file.rowMissing()) {
        qCritical() << prefix << "no data row to print after row" << parts.file.dataIndex() << "- printing stops";
        return false;
    }
    file = parts.file.printFile();
    return true;
}

void rowPrinted(const PrintParts &parts)
{
    if (parts.file.enabledDataSource())
        parts.file.nextRow();
}
