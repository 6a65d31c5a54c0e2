#pragma once

#include "app/app_services.h"
#include "app/task/job_guard.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>

// The printer the pages go to, chosen among the system's printers of the
// makers this line prints with, or the print component.
class Printers : public QObject
{
    Q_OBJECT

public:
    explicit Printers(AppServices services, QObject *parent = nullptr);
    // Another printer waits until the job has ended.
    void setJobGuard(JobGuard guard) { m_jobGuard = std::move(guard); }

    QString printerName() const;
    // Compares, stores it in the settings, tells.
    void setPrinterName(const QString &name);
    // At start-up: the stored printer, else the first one (not on machine
    // version 2); no signal.
    void loadPrinterName();

    QStringList printersName();
    // The printers of installed whose names name a known maker, in the
    // system's order, then the print component.
    static QStringList filterPrinters(const QStringList &installed);
    // Opens the print system's page of the printer (detached).
    void printerPreference(const QString &printerName);

signals:
    void printerNameChanged();

private:
    AppServices m_services;
    JobGuard m_jobGuard;
    mutable std::mutex m_lock;
    QString m_printerName;
};
