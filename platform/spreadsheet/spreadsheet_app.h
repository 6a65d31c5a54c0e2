#pragma once

#include <QString>
#include <QStringList>

// The spreadsheet application reached by its automation prog-id
// ("Excel.Application", "ket.Application"). Here a prog-id maps to a
// spreadsheet program found on the search path (LibreOffice Calc).
class SpreadsheetApp
{
public:
    // True when progId names a spreadsheet application and one is installed.
    bool setControl(const QString &progId);
    bool isNull() const { return m_program.isEmpty(); }
    // Opens the workbook in a program window left to the operator; false
    // when the program did not start.
    bool openWorkbook(const QString &path);

private:
    QString m_program;
    QStringList m_leadingArgs;
};
