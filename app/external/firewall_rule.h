#pragma once

#include <QByteArray>
#include <QString>

// The inbound firewall rule for the program itself: a batch script that
// raises itself to administrator rights and replaces the rule by netsh.
class FirewallRule
{
public:
    static constexpr char kRuleName[] = "Spoolsmith";
    static constexpr char kScriptName[] = "firewall.bat";
    // Runs the script again elevated with the argument "::", which turns this
    // line into a comment in the elevated run.
    static constexpr char kElevationLine[] =
        "%1 mshta vbscript:CreateObject(\"Shell.Application\").ShellExecute(\"cmd.exe\",\"/c %~s0 ::\",\"\","
        "\"runas\",1)(window.close)&&exit";

    // programPath: the program the rule allows; folder: where the script is
    // written and run.
    FirewallRule(QString programPath, QString folder);

    QString scriptPath() const;
    // The script's bytes; empty when the program path has a character that
    // Latin-1 cannot hold (the rule would name another program).
    QByteArray script() const;
    // Writes the script and starts it elevated; nothing waits for it.
    // False, with a log line, when it was not written or not started.
    bool apply() const;

private:
    QString m_programPath;
    QString m_folder;
};
