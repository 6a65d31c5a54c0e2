#include "platform/printing/system_spooler.h"

#include "platform/printing/cups_spooler.h"

#include <atomic>

namespace printing {

namespace {
std::atomic<PrintSpooler *> g_installed{nullptr};
}

PrintSpooler &systemSpooler()
{
    static CupsSpooler cups;
    PrintSpooler *installed = g_installed.load();
    return installed ? *installed : cups;
}

void installSpooler(PrintSpooler *spooler)
{
    g_installed.store(spooler);
}

} // namespace printing
