#pragma once

#include "platform/printing/print_spooler.h"

namespace printing {

// Printing through CUPS (the server in CUPS_SERVER, else the local one):
// a job is created at document start, the pages go as one PDF at the page
// size of the device mode, and the job's IPP state is read as status bits.
class CupsSpooler : public PrintSpooler
{
public:
    static constexpr int kDpi = 300;

    std::unique_ptr<PrintDevice> openPrinter(const QString &name) override;
    QStringList printers() override;
    // The IPP job state and its reasons as spooler status bits.
    static quint32 statusBits(int jobState, const QStringList &reasons);
};

} // namespace printing
