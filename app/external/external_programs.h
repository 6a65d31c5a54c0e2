#pragma once

#include "app/app_services.h"
#include "app/external/program_supervisor.h"
#include "settings/config.h"

#include <QDateTime>
#include <QProcess>
#include <QString>

// The external programs of machine version 2 (the raster image processor
// and the printer software), kept running and minimised, and the firewall
// rule of the program.
class ExternalPrograms
{
public:
    explicit ExternalPrograms(AppServices services);
    ~ExternalPrograms();

    // At start-up on machine version 2: the programs from the settings,
    // restarted when they end, supervised while printing is on.
    void setUp();
    // First thing at shut-down: nothing starts them again from here on.
    void stopRestarts();
    // At shut-down: ends them without starting them again.
    void shutdown();
    // A program path changed in the settings (version 2 only).
    void programPathChanged(Config::ConfigParamType key, const QString &path);
    void firewall();

    // The face's members for one of the two processes; null or another
    // process: false.
    void finished(QProcess *process, int exitCode, QProcess::ExitStatus exitStatus);
    bool openProcess(QProcess *process);
    bool closeWndByPid(QProcess *process);
    bool closeProcess(QProcess *process);

    ProgramSupervisor &riin() { return m_riin; }
    ProgramSupervisor &printerSoft() { return m_printerSoft; }

private:
    ProgramSupervisor *supervisorOf(QProcess *process);
    bool versionTwo() const;

    AppServices m_services;
    // When either program's window was last minimised.
    QDateTime m_lastMinimise;
    ProgramSupervisor m_riin;
    ProgramSupervisor m_printerSoft;
};
