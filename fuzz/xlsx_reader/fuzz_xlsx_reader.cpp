// Any bytes as a workbook: no crash, refused or read within the sheet's
// bounds, every row as wide as its last cell.
#include "platform/xlsx/xlsx_sheet.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    XlsxSheet sheet;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!sheet.loadData(bytes)) {
        if (sheet.error().isEmpty() || sheet.rowCount() != 0)
            std::abort();
        return 0;
    }
    if (sheet.rowCount() < 0 || sheet.rowCount() > XlsxSheet::kMaxRows)
        std::abort();
    // The first and last rows, as a data source reads them.
    for (int r : {0, 1, sheet.rowCount() - 1}) {
        const QStringList row = sheet.row(r);
        if (row.size() > XlsxSheet::kMaxColumns)
            std::abort();
        for (int c = 0; c < row.size(); ++c)
            if (sheet.cell(r, c) != row.at(c))
                std::abort();
    }
    return 0;
}
