#include "app/print/print_batcher.h"

#include "app/not_built.h"

void PrintBatcher::print()
{
    notBuilt("SpoolsmithApp::print", "the printing paths are not built");
}

bool PrintBatcher::printPdfFile(const QString &file, const QString &printerName)
{
    qCritical() << "SpoolsmithApp::printPdfFile" << file << printerName;
    notBuilt("SpoolsmithApp::printPdfFile", "direct printing is not built");
    return false;
}
