#include "platform/xlsx/xlsx_sheet.h"

#include "platform/xlsx/number_format.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QBuffer>
#include <QDebug>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>

namespace {

// One part of the package, inflated as it is read and cut off at its cap,
// at a ratio no real part reaches (a zip bomb), or when the reader's
// progress asks to stop.
class CappedPart : public QIODevice
{
public:
    CappedPart(QuaZip &zip, qint64 cap, const QDeadlineTimer &deadline, const XlsxSheet::Progress &progress)
        : m_file(&zip), m_package(zip.getIoDevice()), m_cap(cap), m_deadline(deadline), m_progress(progress)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return;
        m_start = m_package->pos();
        // A size the directory claims only guides the progress.
        m_expected = std::clamp<qint64>(m_file.usize(), 1, cap);
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    QString failure() const { return m_failure; }
    // The read was stopped or ran out of time: no bound of this part.
    bool interrupted() const { return m_interrupted; }
    // The XML reader got its next token: what it reads from here on is
    // held in memory until the token after it.
    void tokenRead() { m_tokenAt = m_read; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!m_failure.isEmpty())
            return -1;
        const qint64 n = m_file.read(data, std::min<qint64>(maxSize, m_cap + 1 - m_read));
        if (n < 0) {
            m_failure = QStringLiteral("cannot inflate %1").arg(m_file.getActualFileName());
            return -1;
        }
        m_read += n;
        if (m_read > m_cap) {
            m_failure = QStringLiteral("%1 inflates past %2 MiB").arg(m_file.getActualFileName()).arg(m_cap >> 20);
            return -1;
        }
        // The packed bytes read so far: a bomb is caught early, not only
        // once it inflated its whole packed size times the ratio.
        const qint64 packed = std::max<qint64>(1, m_package->pos() - m_start);
        if (m_read > (qint64(1) << 20) && m_read > XlsxSheet::kMaxRatio * packed) {
            m_failure = QStringLiteral("%1 inflates more than %2 times its packed size")
                            .arg(m_file.getActualFileName())
                            .arg(XlsxSheet::kMaxRatio);
            return -1;
        }
        if (m_read - m_tokenAt > XlsxSheet::kMaxTokenBytes) {
            m_failure = QStringLiteral("%1 holds a tag or text of more than %2 MiB")
                            .arg(m_file.getActualFileName())
                            .arg(XlsxSheet::kMaxTokenBytes >> 20);
            return -1;
        }
        if (m_deadline.hasExpired()) {
            m_failure = QStringLiteral("reading took longer than %1 s").arg(XlsxSheet::kMaxReadSeconds);
            m_interrupted = true;
            return -1;
        }
        if (m_progress && m_read - m_told >= (qint64(256) << 10)) {
            m_told = m_read;
            if (!m_progress(int(std::min<qint64>(999, m_read * 1000 / m_expected)))) {
                m_failure = QStringLiteral("stopped");
                m_interrupted = true;
                return -1;
            }
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QuaZipFile m_file;
    QIODevice *m_package;
    qint64 m_start = 0;
    qint64 m_tokenAt = 0;
    qint64 m_cap;
    QDeadlineTimer m_deadline;
    qint64 m_expected = 1;
    qint64 m_read = 0;
    qint64 m_told = 0;
    XlsxSheet::Progress m_progress;
    QString m_failure;
    bool m_interrupted = false;
};

// A small part read whole; false when it is missing or too large.
bool readSmallPart(QuaZip &zip, const QString &name, QByteArray &out)
{
    if (!zip.setCurrentFile(name))
        return false;
    CappedPart part(zip, XlsxSheet::kMaxOtherPartBytes, QDeadlineTimer(std::chrono::seconds(5)), {});
    if (!part.isOpen())
        return false;
    out = part.readAll();
    return part.failure().isEmpty();
}

// What the workbook says of its sheets: the first sheet's part (the usual
// name when the relationships cannot be read) and its date system.
struct WorkbookFacts
{
    QString firstSheet = QStringLiteral("xl/worksheets/sheet1.xml");
    bool date1904 = false;
};

WorkbookFacts readWorkbook(QuaZip &zip)
{
    WorkbookFacts facts;
    QByteArray workbook, rels;
    if (!readSmallPart(zip, "xl/workbook.xml", workbook))
        return facts;
    QString rid;
    QXmlStreamReader wb(workbook);
    while (!wb.atEnd()) {
        wb.readNext();
        if (!wb.isStartElement())
            continue;
        if (wb.name() == QLatin1String("workbookPr")) {
            const QStringView v = wb.attributes().value("date1904");
            facts.date1904 = v == QLatin1String("1") || v == QLatin1String("true");
        } else if (wb.name() == QLatin1String("sheet") && rid.isEmpty()) {
            for (const QXmlStreamAttribute &a : wb.attributes())
                if (a.name() == QLatin1String("id"))
                    rid = a.value().toString();
        }
    }
    if (!readSmallPart(zip, "xl/_rels/workbook.xml.rels", rels))
        return facts;
    QXmlStreamReader rx(rels);
    while (!rx.atEnd()) {
        rx.readNext();
        if (rx.isStartElement() && rx.name() == QLatin1String("Relationship")
            && rx.attributes().value("Id") == rid) {
            const QString target = rx.attributes().value("Target").toString();
            facts.firstSheet = target.startsWith('/') ? target.mid(1) : QStringLiteral("xl/") + target;
            break;
        }
    }
    return facts;
}

// Text as the sheet shows it: "_xHHHH_" stands for the character HHHH
// (a line break as "_x000D_"; "_x005F_" is the underscore itself).
QString decodeEscapes(const QString &text)
{
    qsizetype at = text.indexOf(QLatin1String("_x"));
    if (at < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (; at >= 0 && at + 7 <= text.size(); at = text.indexOf(QLatin1String("_x"), from)) {
        bool ok = text.at(at + 6) == QLatin1Char('_');
        const ushort code = ok ? text.mid(at + 2, 4).toUShort(&ok, 16) : 0;
        if (!ok) {
            out += QStringView(text).mid(from, at + 1 - from);
            from = at + 1;
            continue;
        }
        out += QStringView(text).mid(from, at - from);
        out += QChar(code);
        from = at + 7;
    }
    out += QStringView(text).mid(from);
    return out;
}

} // namespace

// Reads the parts of one package into the sheet.
class XlsxSheet::Reader
{
public:
    Reader(XlsxSheet &sheet, QuaZip &zip, const Progress &progress)
        : m_sheet(sheet), m_zip(zip), m_progress(progress)
    {
    }

    bool read()
    {
        // Shared strings come first; a stop is heard there too.
        const Progress stopOnly = [this](int) { return !m_progress || m_progress(0); };
        if (m_zip.setCurrentFile("xl/sharedStrings.xml")
            && !readPart(kMaxSharedStringsBytes, stopOnly, &Reader::sharedStrings))
            return false;
        if (m_zip.setCurrentFile("xl/styles.xml") && !readPart(kMaxStylesBytes, stopOnly, &Reader::styles)) {
            // Styles never cost the values: past a bound or unreadable,
            // every number shows as General. A stop still stops.
            if (m_interrupted)
                return false;
            qWarning() << "XlsxSheet::load" << m_sheet.m_error << "- the numbers show as General";
            m_sheet.m_error.clear();
            m_formats.clear();
            m_styles.clear();
        }
        const WorkbookFacts workbook = readWorkbook(m_zip);
        m_date1904 = workbook.date1904;
        const QString &sheetPart = workbook.firstSheet;
        if (!m_zip.setCurrentFile(sheetPart)) {
            m_sheet.m_error = QStringLiteral("no worksheet %1").arg(sheetPart);
            return false;
        }
        if (!readPart(kMaxSheetBytes, m_progress, &Reader::cells))
            return false;
        sortCells();
        return true;
    }

private:
    using PartReader = bool (Reader::*)(QXmlStreamReader &);

    bool readPart(qint64 cap, const Progress &progress, PartReader body)
    {
        CappedPart part(m_zip, cap, m_deadline, progress);
        if (!part.isOpen()) {
            m_sheet.m_error = QStringLiteral("cannot open %1").arg(m_zip.getCurrentFileName());
            return false;
        }
        QXmlStreamReader xml(&part);
        m_part = &part;
        const bool ok = (this->*body)(xml);
        m_part = nullptr;
        m_interrupted = part.interrupted();
        if (!part.failure().isEmpty())
            m_sheet.m_error = part.failure();
        else if (xml.hasError())
            m_sheet.m_error = QStringLiteral("%1: %2").arg(m_zip.getCurrentFileName(), xml.errorString());
        return ok && m_sheet.m_error.isEmpty();
    }

    bool fail(const QString &why)
    {
        m_sheet.m_error = why;
        return false;
    }

    // Appends a text to the sheet's store and says where it went; past the
    // bound, nothing is kept and the read ends.
    Span keep(QStringView text)
    {
        if (m_sheet.m_text.size() + text.size() > kMaxTextChars) {
            fail(QStringLiteral("the sheet holds more than %1 M characters of text").arg(kMaxTextChars >> 20));
            return Span{0, 0};
        }
        const Span span{std::uint32_t(m_sheet.m_text.size()), std::uint32_t(text.size())};
        m_sheet.m_text += text;
        return span;
    }

    void next(QXmlStreamReader &xml)
    {
        xml.readNext();
        m_part->tokenRead();
    }

    // The text of one <si> or <is> as the sheet shows it: every <t> inside
    // it, rich-text runs joined, without the phonetic guides (<rPh>) written
    // above it.
    QString stringItem(QXmlStreamReader &xml)
    {
        const QString end = xml.name().toString();
        QString text;
        while (!xml.atEnd()) {
            next(xml);
            if (xml.isStartElement() && xml.name() == QLatin1String("t"))
                text += xml.readElementText();
            else if (xml.isStartElement() && xml.name() == QLatin1String("rPh"))
                xml.skipCurrentElement();
            else if (xml.isEndElement() && xml.name() == end)
                break;
        }
        return decodeEscapes(text);
    }

    // The number format of every cell style: custom codes by number first,
    // then the cell styles (<cellXfs>) that name them. The named styles are
    // not needed: those before the cell styles are passed over, and the
    // part is read no further than the cell styles' end.
    bool styles(QXmlStreamReader &xml)
    {
        QHash<int, QString> custom;
        QHash<int, std::uint16_t> formatOfId;
        bool inCellStyles = false;
        while (!xml.atEnd()) {
            next(xml);
            if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs"))
                return true;
            if (!xml.isStartElement())
                continue;
            const QXmlStreamAttributes attrs = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                const QString code = attrs.value("formatCode").toString();
                if (code.size() <= kMaxFormatCodeChars && custom.size() < kMaxCellStyles)
                    custom.insert(attrs.value("numFmtId").toInt(), code);
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellStyles = true;
            } else if (xml.name() == QLatin1String("xf") && inCellStyles && m_styles.size() < std::size_t(kMaxCellStyles)) {
                const int id = attrs.value("numFmtId").toInt();
                auto it = formatOfId.constFind(id);
                if (it == formatOfId.cend()) {
                    const QString code = custom.contains(id) ? custom.value(id) : NumberFormat::builtInCode(id);
                    m_formats.emplace_back(code);
                    it = formatOfId.insert(id, std::uint16_t(m_formats.size() - 1));
                }
                m_styles.push_back(it.value());
            }
        }
        return true;
    }

    bool sharedStrings(QXmlStreamReader &xml)
    {
        while (!xml.atEnd()) {
            next(xml);
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                m_sheet.m_shared.push_back(keep(stringItem(xml)));
            if (!m_sheet.m_error.isEmpty())
                return false;
        }
        return true;
    }

    bool cells(QXmlStreamReader &xml)
    {
        bool inRow = false;
        int nextRow = 0;
        int row = 0;
        int nextCol = 0;
        while (!xml.atEnd()) {
            next(xml);
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("row")) {
                // Rows left out of the file are empty rows; one numbered
                // before the rows already read follows them.
                bool numbered = false;
                const qint64 r = xml.attributes().value("r").toLongLong(&numbered);
                row = numbered && r > 0 ? int(std::max<qint64>(std::min<qint64>(r, kMaxRows + 1) - 1, nextRow)) : nextRow;
                if (row >= kMaxRows)
                    return fail(QStringLiteral("row %1 is past the sheet's last row %2").arg(r).arg(kMaxRows));
                nextRow = row + 1;
                inRow = true;
                nextCol = 0;
            } else if (xml.name() == QLatin1String("c") && inRow) {
                const QXmlStreamAttributes attrs = xml.attributes();
                int col = XlsxSheet::columnOfReference(attrs.value("r").toString());
                if (col < 0)
                    col = nextCol;
                if (col >= kMaxColumns)
                    return fail(QStringLiteral("a cell of row %1 is past the sheet's last column %2")
                                    .arg(row + 1)
                                    .arg(kMaxColumns));
                const Span text = cellText(xml, attrs.value("t"), attrs.value("s").toUInt());
                if (!m_sheet.m_error.isEmpty())
                    return false;
                if (m_sheet.m_cells.size() >= kMaxCells)
                    return fail(QStringLiteral("the sheet holds more than %1 M cells").arg(kMaxCells >> 20));
                // A cell with no value (formatting only) is not data.
                if (text.length > 0) {
                    m_sheet.m_cells.push_back(Cell{std::uint32_t(row), std::uint32_t(col), text.offset, text.length});
                    m_sheet.m_rowCount = row + 1;
                }
                nextCol = col + 1;
            }
        }
        return true;
    }

    Span cellText(QXmlStreamReader &xml, QStringView type, unsigned style)
    {
        Span span{0, 0};
        while (!xml.atEnd()) {
            next(xml);
            if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                break;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("v")) {
                const QString v = xml.readElementText();
                if (type == QLatin1String("s")) {
                    bool ok = false;
                    const int i = v.toInt(&ok);
                    span = ok && i >= 0 && std::size_t(i) < m_sheet.m_shared.size() ? m_sheet.m_shared[std::size_t(i)]
                                                                                      : Span{0, 0};
                } else if (type == QLatin1String("b")) {
                    span = keep(v == QLatin1String("1") ? u"TRUE" : u"FALSE");
                } else if (type.isEmpty() || type == QLatin1String("n")) {
                    // A number prints as its cell's format shows it.
                    bool ok = false;
                    const double d = v.toDouble(&ok);
                    const NumberFormat &format = style < m_styles.size() ? m_formats[m_styles[style]] : m_general;
                    span = keep(ok ? format.format(d, m_date1904) : v);
                } else if (type == QLatin1String("str")) {
                    span = keep(decodeEscapes(v));
                } else {
                    span = keep(v);
                }
            } else if (xml.name() == QLatin1String("is")) {
                span = keep(stringItem(xml));
            }
        }
        return span;
    }

    // By row, then column; of two cells in one place the later one holds.
    void sortCells()
    {
        auto &cells = m_sheet.m_cells;
        const auto before = [](const Cell &a, const Cell &b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        };
        if (!std::is_sorted(cells.begin(), cells.end(), before))
            std::stable_sort(cells.begin(), cells.end(), before);
        const auto same = [](const Cell &a, const Cell &b) { return a.row == b.row && a.column == b.column; };
        auto out = cells.begin();
        for (auto it = cells.begin(); it != cells.end(); ++it) {
            if (out != cells.begin() && same(*(out - 1), *it))
                *(out - 1) = *it;
            else
                *out++ = *it;
        }
        cells.erase(out, cells.end());
        cells.shrink_to_fit();
    }

    XlsxSheet &m_sheet;
    QuaZip &m_zip;
    const Progress &m_progress;
    const QDeadlineTimer m_deadline{std::chrono::seconds(kMaxReadSeconds)};
    CappedPart *m_part = nullptr;
    bool m_interrupted = false;
    std::vector<NumberFormat> m_formats;     // one per number format the styles use
    std::vector<std::uint16_t> m_styles;     // cell style -> its format
    const NumberFormat m_general;
    bool m_date1904 = false;
};

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
    // More than three letters is not a cell reference.
    return letters == 0 || letters > 3 ? -1 : col - 1;
}

void XlsxSheet::clear()
{
    m_text.clear();
    m_shared.clear();
    m_cells.clear();
    m_rowCount = 0;
    m_error.clear();
}

bool XlsxSheet::load(const QString &path, const Progress &progress)
{
    clear();
    QFile file(path);
    QuaZip zip(&file);
    if (!file.open(QIODevice::ReadOnly) || !zip.open(QuaZip::mdUnzip)) {
        m_error = QStringLiteral("cannot open %1 as a workbook").arg(path);
        return false;
    }
    if (!Reader(*this, zip, progress).read()) {
        m_error = QStringLiteral("%1: %2").arg(path, m_error);
        const QString why = m_error;
        clear();
        m_error = why;
        return false;
    }
    return true;
}

bool XlsxSheet::loadData(const QByteArray &zipData, const Progress &progress)
{
    clear();
    QBuffer buffer;
    buffer.setData(zipData);
    QuaZip zip(&buffer);
    if (!buffer.open(QIODevice::ReadOnly) || !zip.open(QuaZip::mdUnzip)) {
        m_error = QStringLiteral("not a workbook");
        return false;
    }
    if (!Reader(*this, zip, progress).read()) {
        const QString why = m_error;
        clear();
        m_error = why;
        return false;
    }
    return true;
}

std::vector<XlsxSheet::Cell>::const_iterator XlsxSheet::firstOfRow(int index) const
{
    return std::lower_bound(m_cells.cbegin(), m_cells.cend(), std::uint32_t(index),
                            [](const Cell &c, std::uint32_t row) { return c.row < row; });
}

QString XlsxSheet::textOf(const Cell &cell) const { return m_text.mid(cell.offset, cell.length); }

QStringList XlsxSheet::row(int index) const
{
    if (index < 0 || index >= m_rowCount)
        return {};
    auto it = firstOfRow(index);
    auto end = it;
    while (end != m_cells.cend() && end->row == std::uint32_t(index))
        ++end;
    if (it == end)
        return {};
    QStringList out;
    out.resize((end - 1)->column + 1);
    for (; it != end; ++it)
        out[it->column] = textOf(*it);
    return out;
}

QString XlsxSheet::cell(int row, int column) const
{
    if (row < 0 || row >= m_rowCount || column < 0)
        return {};
    const auto it = std::lower_bound(firstOfRow(row), m_cells.cend(), std::uint32_t(column),
                                     [row](const Cell &c, std::uint32_t col) {
                                         return c.row == std::uint32_t(row) && c.column < col;
                                     });
    return it != m_cells.cend() && it->row == std::uint32_t(row) && it->column == std::uint32_t(column) ? textOf(*it)
                                                                                                        : QString();
}
