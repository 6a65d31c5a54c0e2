#include "platform/printing/system_spooler.h"

#include "platform/printing/cups_spooler.h"

#include "core/installed_override.h"

namespace printing {

namespace {
spoolsmith::InstalledOverride<PrintSpooler> g_override;
}

PrintSpooler &systemSpooler()
{
    static CupsSpooler cups;
    return g_override.get(cups);
}

void installSpooler(PrintSpooler *spooler)
{
    g_override.install(spooler);
}

} // namespace printing
