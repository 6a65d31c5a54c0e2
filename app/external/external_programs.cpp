#include "app/external/external_programs.h"

#include "app/not_built.h"
#include "settings/config.h"

ExternalPrograms::ExternalPrograms(AppServices services)
    : m_services(std::move(services))
{
}

ExternalPrograms::~ExternalPrograms()
{
    shutdown();
}

void ExternalPrograms::setUp()
{
    Config *config = m_services.config();
    if (!config || config->version() != 2)
        return;
    m_riinFinished = QObject::connect(&m_riinProcess, &QProcess::finished, [this](int code, QProcess::ExitStatus s) {
        finished(&m_riinProcess, code, s);
    });
    m_printerSoftFinished = QObject::connect(&m_printerSoftProcess, &QProcess::finished,
                                             [this](int code, QProcess::ExitStatus s) {
                                                 finished(&m_printerSoftProcess, code, s);
                                             });
    m_riinProcess.setProgram(config->getProperty(Config::CPT_RIIN_Path).toString());
    m_printerSoftProcess.setProgram(config->getProperty(Config::CPT_Printer_Soft_Path).toString());
    if (config->enablePrint())
        qCritical() << "SpoolsmithApp::initApp" << "external programs not started: their supervision is not built";
}

void ExternalPrograms::shutdown()
{
    // Ending them below must not start them again.
    QObject::disconnect(m_riinFinished);
    QObject::disconnect(m_printerSoftFinished);
    closeProcess(&m_riinProcess);
    closeProcess(&m_printerSoftProcess);
}

void ExternalPrograms::firewall()
{
    notBuilt("SpoolsmithApp::firewall", "the firewall rule layer is not built");
}

void ExternalPrograms::finished(QProcess *process, int exitCode, QProcess::ExitStatus exitStatus)
{
    if (!process)
        return;
    qDebug() << "SpoolsmithApp::slotFinished" << exitCode << exitStatus << process->program();
    notBuilt("SpoolsmithApp::slotFinished", "the external-program supervision is not built; not restarted");
}

bool ExternalPrograms::closeProcess(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return true;
    qDebug() << "SpoolsmithApp::closeProcess" << "begin close" << process->program();
    process->kill();
    process->close();
    qDebug() << "SpoolsmithApp::closeProcess" << "end close" << process->program();
    return true;
}
