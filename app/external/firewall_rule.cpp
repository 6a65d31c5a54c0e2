#include "app/external/firewall_rule.h"

#include "platform/processes/elevated_script.h"
#include "platform/prompt/prompt.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSaveFile>

FirewallRule::FirewallRule(QString programPath, QString folder)
    : m_programPath(std::move(programPath))
    , m_folder(std::move(folder))
{
}

QString FirewallRule::scriptPath() const
{
    return m_folder + QLatin1Char('/') + QLatin1String(kScriptName);
}

QByteArray FirewallRule::script() const
{
    QString program = m_programPath;
    program.replace(QLatin1Char('/'), QLatin1Char('\\'));
    for (const QChar c : program) {
        if (c.unicode() > 0xff)
            return {};
    }
    const QByteArray rule = QByteArray("name=\"") + kRuleName + '"';
    QByteArray bytes;
    bytes += "@echo off \n";
    bytes += "cd /d %~dp0 \n";
    bytes += QByteArray(kElevationLine) + " \n";
    bytes += "netsh advfirewall firewall delete rule " + rule + " \n";
    bytes += "netsh advfirewall firewall add rule " + rule + " dir=in action=allow program=\"" + program.toLatin1()
             + '"';
    return bytes;
}

bool FirewallRule::apply() const
{
    const QByteArray bytes = script();
    if (bytes.isEmpty()) {
        qCritical() << "SpoolsmithApp::firewall" << "the program path cannot be written into the script; rule not set"
                    << m_programPath;
        return false;
    }
    // Written whole or not at all: several programs of the folder may write it.
    QSaveFile file(scriptPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCritical() << "SpoolsmithApp::firewall" << "cannot write" << scriptPath() << file.errorString();
        if (Prompt *prompt = Prompt::instance())
            prompt->warning(QCoreApplication::applicationName(), QStringLiteral("Error"));
        return false;
    }
    return processes::elevatedScripts().start(scriptPath(), m_folder);
}
