#include "platform/printing/printer_page.h"

#include <QUrl>

#ifndef Q_OS_WIN
#include <cups/cups.h>
#endif

namespace printing {

PreferencesCommand preferencesCommand(const QString &printerName)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("rundll32"),
            {QStringLiteral("printui.dll"), QStringLiteral("PrintUIEntry"), QStringLiteral("/e"), QStringLiteral("/n"),
             printerName}};
#else
    // The server the spooler prints through; a local socket means this host.
    QString host = QString::fromUtf8(cupsServer());
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')))
        host = QStringLiteral("localhost");
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(ippPort());
    url.setPath(QStringLiteral("/printers/") + printerName);
    return {QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())}};
#endif
}

} // namespace printing
