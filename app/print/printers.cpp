#include "app/print/printers.h"

#include "app/not_built.h"
#include "core/property_store.h"
#include "settings/config.h"

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
    // An empty list: no printer is chosen by default, and the print
    // component is not offered while nothing can hand jobs to it.
    notBuilt("SpoolsmithApp::printersName", "the system printer list is not built");
    return {};
}

void Printers::printerPreference(const QString &printerName)
{
    qCritical() << "SpoolsmithApp::printerPreference" << printerName;
    notBuilt("SpoolsmithApp::printerPreference", "the printer-preferences dialog is not built");
}
