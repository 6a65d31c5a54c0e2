#include "app/external/external_programs.h"

#include "app/external/firewall_rule.h"
#include "platform/window_control/window_control.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>

ExternalPrograms::ExternalPrograms(AppServices services)
    : m_services(std::move(services))
    , m_riin(QStringLiteral("RIIN"), m_lastMinimise, true)
    , m_printerSoft(QStringLiteral("PrinterSoft"), m_lastMinimise, false)
{
}

ExternalPrograms::~ExternalPrograms()
{
    shutdown();
}

bool ExternalPrograms::versionTwo() const
{
    const Config *config = m_services.config ? m_services.config() : nullptr;
    return config && config->version() == 2;
}

void ExternalPrograms::setUp()
{
    if (!versionTwo())
        return;
    Config *config = m_services.config();
    m_riin.setRestartOnFinish(true);
    m_printerSoft.setRestartOnFinish(true);
    // Asked once: with nothing to minimise windows, asking every second
    // would change nothing.
    const bool minimising = windowcontrol::windowControl().canMinimise();
    if (!minimising)
        qInfo() << "SpoolsmithApp::closeWndByPid" << "no window manager can minimise windows here;"
                << "the programs' windows are left as they are";
    m_riin.setMinimising(minimising);
    m_printerSoft.setMinimising(minimising);
    m_riin.setProgram(config->getProperty(Config::CPT_RIIN_Path).toString());
    m_printerSoft.setProgram(config->getProperty(Config::CPT_Printer_Soft_Path).toString());
    if (config->enablePrint()) {
        m_riin.startSupervision(ProgramSupervisor::kStartUpPeriodMs);
        m_printerSoft.startSupervision(ProgramSupervisor::kStartUpPeriodMs);
    }
}

void ExternalPrograms::stopRestarts()
{
    m_riin.stopRestarts();
    m_printerSoft.stopRestarts();
}

void ExternalPrograms::shutdown()
{
    // Ending one must not start the other's restart in between.
    stopRestarts();
    m_riin.closeProcess();
    m_printerSoft.closeProcess();
}

void ExternalPrograms::programPathChanged(Config::ConfigParamType key, const QString &path)
{
    // Machines of other versions run neither program.
    if (!versionTwo())
        return;
    if (key == Config::CPT_RIIN_Path)
        m_riin.changeProgram(path);
    else if (key == Config::CPT_Printer_Soft_Path)
        m_printerSoft.changeProgram(path);
}

void ExternalPrograms::firewall()
{
    FirewallRule(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath()).apply();
}

ProgramSupervisor *ExternalPrograms::supervisorOf(QProcess *process)
{
    if (process && process == m_riin.process())
        return &m_riin;
    if (process && process == m_printerSoft.process())
        return &m_printerSoft;
    return nullptr;
}

void ExternalPrograms::finished(QProcess *process, int exitCode, QProcess::ExitStatus exitStatus)
{
    if (ProgramSupervisor *supervisor = supervisorOf(process))
        supervisor->processFinished(exitCode, exitStatus);
}

bool ExternalPrograms::openProcess(QProcess *process)
{
    ProgramSupervisor *supervisor = supervisorOf(process);
    return supervisor && supervisor->openProcess();
}

bool ExternalPrograms::closeWndByPid(QProcess *process)
{
    ProgramSupervisor *supervisor = supervisorOf(process);
    return supervisor && supervisor->closeWndByPid();
}

bool ExternalPrograms::closeProcess(QProcess *process)
{
    ProgramSupervisor *supervisor = supervisorOf(process);
    return !supervisor || supervisor->closeProcess();
}
