#include "app/print/printers.h"

#include "app/print/cdr_channel.h"
#include "core/property_store.h"
#include "platform/printing/printer_page.h"
#include "platform/printing/system_spooler.h"
#include "settings/config.h"

#include <QProcess>

Printers::Printers(AppServices services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
}

QString Printers::printerName() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printerName;
}

void Printers::setPrinterName(const QString &name)
{
    if (name != printerName() && m_jobGuard.refuse("SpoolsmithApp::setPrinterName", name))
        return;
    spoolsmith::storeAndNotify(m_lock, m_printerName, name, [this, &name] {
        if (Config *config = m_services.config())
            config->setProperty(Config::CPT_Printer_Name, name);
        emit printerNameChanged();
    });
}

void Printers::loadPrinterName()
{
    Config *config = m_services.config();
    if (!config)
        return;
    const QStringList printers = printersName();
    std::lock_guard<std::mutex> lock(m_lock);
    m_printerName = config->getProperty(Config::CPT_Printer_Name).toString();
    if (m_printerName.isEmpty() && !printers.isEmpty() && config->version() != 2)
        m_printerName = printers.first();
}

QStringList Printers::printersName()
{
    return filterPrinters(printing::systemSpooler().printers());
}

QStringList Printers::filterPrinters(const QStringList &installed)
{
    static const char *const kMakers[] = {"canon", "epson", "hoson"};
    QStringList list;
    for (const QString &name : installed) {
        const QString lower = name.toLower();
        for (const char *maker : kMakers) {
            if (lower.contains(QLatin1String(maker))) {
                list.append(name);
                break;
            }
        }
    }
    list.append(QLatin1String(CdrChannel::kPrinterName));
    return list;
}

void Printers::printerPreference(const QString &printerName)
{
    // The print system's own page; nothing waits for it.
    const printing::PreferencesCommand command = printing::preferencesCommand(printerName);
    if (!QProcess::startDetached(command.program, command.arguments))
        qCritical() << "SpoolsmithApp::printerPreference" << "could not start" << command.program << printerName;
}
