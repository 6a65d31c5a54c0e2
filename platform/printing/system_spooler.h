#pragma once

#include "platform/printing/print_spooler.h"

namespace printing {

// The spooler the program prints through: CUPS unless another one was
// installed (tests install an in-memory one). The installed spooler must
// outlive its use; null restores CUPS.
PrintSpooler &systemSpooler();
void installSpooler(PrintSpooler *spooler);

} // namespace printing
