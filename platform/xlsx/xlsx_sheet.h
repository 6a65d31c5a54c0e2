#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// The first worksheet of an .xlsx workbook as text, read once: shared
// strings, inline strings, numbers and booleans, each as the sheet shows it
// (numbers in their cell's number format, strings without phonetic guides
// and with "_xHHHH_" escapes decoded). Row 0 is the sheet's first row; the
// rows end at the last one that holds a value; a cell left out of the file
// is an empty text. Rows are read by index.
//
// A workbook is outside data: only the cells the file holds are kept (no
// row or column left out is filled in), a sheet may not reach past the
// format's last row and column, each part is inflated only up to a size
// cap and a compression ratio that no real sheet comes near, and what is
// kept is bounded. A million rows of a few columns fit every bound (such a
// sheet part is about 100 MiB).
class XlsxSheet
{
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    static constexpr qint64 kMaxSheetBytes = qint64(256) << 20;
    static constexpr qint64 kMaxSharedStringsBytes = qint64(64) << 20;
    static constexpr std::size_t kMaxCells = std::size_t(6) << 20;
    static constexpr qsizetype kMaxTextChars = qsizetype(32) << 20;
    static constexpr qint64 kMaxOtherPartBytes = qint64(1) << 20;
    // Cell styles and their number formats: a workbook allows 64,000 styles
    // and format codes of 255 characters; more are shown as General. A
    // styles part that breaks a bound or cannot be read never refuses the
    // sheet: all its numbers show as General.
    static constexpr qint64 kMaxStylesBytes = qint64(16) << 20;
    static constexpr int kMaxCellStyles = 65536;
    static constexpr int kMaxFormatCodeChars = 255;
    // Inflated bytes per compressed byte read so far, checked once a part
    // passed 1 MiB.
    static constexpr qint64 kMaxRatio = 200;
    // The longest tag or text (a cell holds at most 32,767 characters): the
    // XML reader holds a whole one in memory.
    static constexpr qint64 kMaxTokenBytes = qint64(4) << 20;
    // The whole read, far beyond what the bounds above let a sheet take.
    static constexpr int kMaxReadSeconds = 120;

    // Told the share read so far (0..1000 per mille); false stops the load.
    using Progress = std::function<bool(int permille)>;

    // False with error() when the file is not a readable workbook, breaks
    // a bound, or progress asked to stop.
    bool load(const QString &path, const Progress &progress = {});
    // The same for a workbook in memory.
    bool loadData(const QByteArray &zipData, const Progress &progress = {});
    QString error() const { return m_error; }

    int rowCount() const { return m_rowCount; }
    // Up to the row's last cell; empty for a row out of range.
    QStringList row(int index) const;
    // Empty for a cell the file does not hold.
    QString cell(int row, int column) const;

    // "A" -> 0, "AB" -> 27; -1 when the reference has no column letters.
    static int columnOfReference(const QString &cellRef);

private:
    struct Cell
    {
        std::uint32_t row;
        std::uint32_t column;
        std::uint32_t offset; // into m_text
        std::uint32_t length;
    };
    struct Span
    {
        std::uint32_t offset;
        std::uint32_t length;
    };
    class Reader;
    friend class Reader;

    void clear();
    std::vector<Cell>::const_iterator firstOfRow(int index) const;
    QString textOf(const Cell &cell) const;

    QString m_text; // every text the sheet holds, one after another
    std::vector<Span> m_shared;
    std::vector<Cell> m_cells; // by row, then column
    int m_rowCount = 0;
    QString m_error;
};
