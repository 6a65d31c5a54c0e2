#include "platform/spreadsheet/spreadsheet_app.h"

#include <QDebug>
#include <QProcess>
#include <QStandardPaths>

bool SpreadsheetApp::setControl(const QString &progId)
{
    m_program.clear();
    m_leadingArgs.clear();
    if (progId != QLatin1String("Excel.Application") && progId != QLatin1String("ket.Application"))
        return false;
    struct Candidate
    {
        const char *name;
        QStringList args;
    };
    const Candidate candidates[] = {{"localc", {}}, {"libreoffice", {"--calc"}}, {"soffice", {"--calc"}}};
    for (const Candidate &c : candidates) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(c.name));
        if (!found.isEmpty()) {
            m_program = found;
            m_leadingArgs = c.args;
            return true;
        }
    }
    return false;
}

bool SpreadsheetApp::openWorkbook(const QString &path)
{
    if (m_program.isEmpty())
        return false;
    // The window belongs to the operator from here; the program outlives us.
    const bool started = QProcess::startDetached(m_program, m_leadingArgs + QStringList{path});
    if (!started)
        qCritical() << "SpreadsheetApp::openWorkbook" << m_program << "did not start";
    return started;
}
