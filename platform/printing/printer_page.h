#pragma once

#include <QString>
#include <QStringList>

namespace printing {

// The print system's own settings page of one printer, and the program that
// opens it (nothing waits for it).
struct PreferencesCommand
{
    QString program;
    QStringList arguments;
};

// Windows: the printer's preferences dialog. Elsewhere: the printer's page of
// the local CUPS server's web interface, in the desktop's browser.
PreferencesCommand preferencesCommand(const QString &printerName);

} // namespace printing
