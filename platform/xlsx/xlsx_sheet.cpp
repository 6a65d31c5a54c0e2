#include "platform/xlsx/xlsx_sheet.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QXmlStreamReader>

namespace {

bool readEntry(QuaZip &zip, const QString &name, QByteArray &out)
{
    if (!zip.setCurrentFile(name))
        return false;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    out = file.readAll();
    file.close();
    return true;
}

// The text of one <si> or <is>: every <t> inside it, rich-text runs joined.
QString readStringItem(QXmlStreamReader &xml)
{
    const QString end = xml.name().toString();
    QString text;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            text += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == end)
            break;
    }
    return text;
}

QStringList sharedStrings(const QByteArray &data)
{
    QStringList strings;
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            strings.append(readStringItem(xml));
    }
    return strings;
}

// The first sheet's part name from the workbook's relationships, the usual
// name when those cannot be read.
QString firstSheetPart(QuaZip &zip)
{
    QByteArray workbook, rels;
    if (!readEntry(zip, "xl/workbook.xml", workbook) || !readEntry(zip, "xl/_rels/workbook.xml.rels", rels))
        return QStringLiteral("xl/worksheets/sheet1.xml");
    QString rid;
    QXmlStreamReader wb(workbook);
    while (!wb.atEnd() && rid.isEmpty()) {
        wb.readNext();
        if (wb.isStartElement() && wb.name() == QLatin1String("sheet"))
            for (const QXmlStreamAttribute &a : wb.attributes())
                if (a.name() == QLatin1String("id"))
                    rid = a.value().toString();
    }
    QXmlStreamReader rx(rels);
    while (!rx.atEnd()) {
        rx.readNext();
        if (rx.isStartElement() && rx.name() == QLatin1String("Relationship")
            && rx.attributes().value("Id") == rid) {
            QString target = rx.attributes().value("Target").toString();
            if (target.startsWith('/'))
                return target.mid(1);
            return QStringLiteral("xl/") + target;
        }
    }
    return QStringLiteral("xl/worksheets/sheet1.xml");
}

} // namespace

int XlsxSheet::columnOfReference(const QString &cellRef)
{
    int col = 0;
    int letters = 0;
    for (QChar c : cellRef) {
        if (c >= 'A' && c <= 'Z') {
            col = col * 26 + (c.unicode() - 'A' + 1);
            ++letters;
        } else {
            break;
        }
    }
    // Beyond the format's last column (XFD) is not a cell reference.
    return letters == 0 || letters > 3 ? -1 : col - 1;
}

bool XlsxSheet::load(const QString &path)
{
    m_rows.clear();
    m_error.clear();
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip)) {
        m_error = QStringLiteral("cannot open %1 as a workbook").arg(path);
        return false;
    }
    QByteArray data;
    QStringList shared;
    if (readEntry(zip, "xl/sharedStrings.xml", data))
        shared = sharedStrings(data);
    const QString sheetPart = firstSheetPart(zip);
    if (!readEntry(zip, sheetPart, data)) {
        m_error = QStringLiteral("%1 has no worksheet %2").arg(path, sheetPart);
        return false;
    }

    QXmlStreamReader xml(data);
    QStringList *row = nullptr;
    int nextCol = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            // Rows left out of the file are empty rows.
            const int r = xml.attributes().value("r").toInt();
            while (r > 0 && m_rows.size() < r - 1)
                m_rows.append(QStringList());
            m_rows.append(QStringList());
            row = &m_rows.last();
            nextCol = 0;
        } else if (xml.name() == QLatin1String("c") && row) {
            const QXmlStreamAttributes attrs = xml.attributes();
            int col = columnOfReference(attrs.value("r").toString());
            if (col < 0)
                col = nextCol;
            const QString type = attrs.value("t").toString();
            QString value;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("v")) {
                    const QString v = xml.readElementText();
                    if (type == QLatin1String("s")) {
                        bool ok = false;
                        const int i = v.toInt(&ok);
                        value = ok && i >= 0 && i < shared.size() ? shared.at(i) : QString();
                    } else if (type == QLatin1String("b")) {
                        value = v == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                    } else if (type.isEmpty() || type == QLatin1String("n")) {
                        // Stored binary doubles print as the cell showed them.
                        bool ok = false;
                        const double d = v.toDouble(&ok);
                        value = ok ? QString::number(d, 'g', 15) : v;
                    } else {
                        value = v;
                    }
                } else if (xml.name() == QLatin1String("is")) {
                    value = readStringItem(xml);
                }
            }
            // Column gaps stay as empty texts, so a value keeps its column.
            while (row->size() < col)
                row->append(QString());
            if (row->size() == col)
                row->append(value);
            else
                (*row)[col] = value;
            nextCol = col + 1;
        }
    }
    if (xml.hasError()) {
        m_error = QStringLiteral("%1: %2").arg(path, xml.errorString());
        m_rows.clear();
        return false;
    }
    return true;
}

QStringList XlsxSheet::row(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows.at(index) : QStringList();
}
