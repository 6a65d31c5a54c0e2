#pragma once

#include "app/app_services.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>

// The printer the pages go to, chosen among the system's printers. The
// system printer list and the preferences dialog are not built yet.
class Printers : public QObject
{
    Q_OBJECT

public:
    explicit Printers(AppServices services, QObject *parent = nullptr);

    QString printerName() const;
    // Compares, stores it in the settings, tells.
    void setPrinterName(const QString &name);
    // At start-up: the stored printer, else the first one (not on machine
    // version 2); no signal.
    void loadPrinterName();
    QStringList printersName();
    void printerPreference(const QString &printerName);

signals:
    void printerNameChanged();

private:
    AppServices m_services;
    mutable std::mutex m_lock;
    QString m_printerName;
};
