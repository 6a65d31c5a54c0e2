#include "tests/support/xlsx_writer.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {

bool addEntry(QuaZip &zip, const QString &name, const QByteArray &data)
{
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)))
        return false;
    const bool ok = file.write(data) == data.size();
    file.close();
    return ok && file.getZipError() == 0;
}

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

QString columnName(int c)
{
    QString name;
    for (++c; c > 0; c = (c - 1) / 26)
        name.prepend(QChar('A' + (c - 1) % 26));
    return name;
}

} // namespace

bool writeTestXlsx(const QString &path, const QVector<QStringList> &rows)
{
    QStringList shared;
    QByteArray sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                       "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int r = 0; r < rows.size(); ++r) {
        sheet += "<row r=\"" + QByteArray::number(r + 1) + "\">";
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString &v = rows[r][c];
            if (v.isEmpty())
                continue;
            const QByteArray ref = (columnName(c) + QString::number(r + 1)).toLatin1();
            bool number = false;
            v.toDouble(&number);
            if (number) {
                sheet += "<c r=\"" + ref + "\"><v>" + v.toLatin1() + "</v></c>";
            } else if (c == 0) {
                sheet += "<c r=\"" + ref + "\" t=\"s\"><v>" + QByteArray::number(shared.size()) + "</v></c>";
                shared.append(v);
            } else {
                sheet += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + escaped(v) + "</t></is></c>";
            }
        }
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    QByteArray strings = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                         "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (const QString &s : shared)
        strings += "<si><t>" + escaped(s) + "</t></si>";
    strings += "</sst>";
    return writeTestXlsxParts(path, sheet, strings);
}

bool writeTestXlsxParts(const QString &path, const QByteArray &sheet, const QByteArray &strings,
                        const QByteArray &styles)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    const QByteArray workbook =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const QByteArray rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/></Relationships>";
    const bool ok = addEntry(zip, "xl/workbook.xml", workbook) && addEntry(zip, "xl/_rels/workbook.xml.rels", rels)
                    && (strings.isEmpty() || addEntry(zip, "xl/sharedStrings.xml", strings))
                    && (styles.isEmpty() || addEntry(zip, "xl/styles.xml", styles))
                    && addEntry(zip, "xl/worksheets/sheet1.xml", sheet);
    zip.close();
    return ok && zip.getZipError() == 0;
}
