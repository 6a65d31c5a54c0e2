#pragma once

#include "platform/xlsx/xlsx_sheet.h"

#include <QHash>
#include <QString>

#include <algorithm>

// The rows of a data source for a variable-data template. The sheet's first
// row names the columns; data row 1 is the sheet's second row. A template
// text names a column as "{name}"; unknown names stay as written.
class VariableData
{
public:
    bool load(const QString &path, const XlsxSheet::Progress &progress = {});
    QString error() const { return m_sheet.error(); }
    int rowCount() const { return std::max(0, m_sheet.rowCount() - 1); }
    bool hasRow(int index) const { return index >= 1 && index <= rowCount(); }
    // The template with every known "{name}" replaced by data row index.
    QString substitute(const QString &text, int index) const;

private:
    XlsxSheet m_sheet;
    QHash<QString, int> m_columns;
};
