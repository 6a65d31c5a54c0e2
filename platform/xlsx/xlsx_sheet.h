#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The first worksheet of an .xlsx workbook as text, read once: shared
// strings, inline strings, numbers and booleans. Row 0 is the sheet's first
// row; a cell left out of the file is an empty text. Rows are read by index.
class XlsxSheet
{
public:
    // False with error() when the file is not a readable workbook.
    bool load(const QString &path);
    QString error() const { return m_error; }

    int rowCount() const { return int(m_rows.size()); }
    // Empty for a row out of range.
    QStringList row(int index) const;

    // "A" -> 0, "AB" -> 27; -1 when the reference has no column letters.
    static int columnOfReference(const QString &cellRef);

private:
    QVector<QStringList> m_rows;
    QString m_error;
};
