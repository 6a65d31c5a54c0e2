#pragma once

#include "app/app_services.h"

#include <QProcess>

// The external programs of machine version 2 (the raster image processor and
// the printer software) and the firewall rule. Their start and supervision
// are not built yet: each step logs so.
class ExternalPrograms
{
public:
    explicit ExternalPrograms(AppServices services);
    ~ExternalPrograms();

    // At start-up on machine version 2: the programs from the settings.
    void setUp();
    // At shut-down: ends them without starting them again.
    void shutdown();
    void firewall();
    void finished(QProcess *process, int exitCode, QProcess::ExitStatus exitStatus);
    static bool closeProcess(QProcess *process);

private:
    AppServices m_services;
    QProcess m_riinProcess;
    QProcess m_printerSoftProcess;
    QMetaObject::Connection m_riinFinished;
    QMetaObject::Connection m_printerSoftFinished;
    int m_riinTimerId = 0;
    int m_printerSoftTimerId = 0;
};
