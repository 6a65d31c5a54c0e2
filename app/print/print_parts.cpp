#include "app/print/print_parts.h"

#include "app/task/task_counters.h"
#include "settings/config.h"

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
