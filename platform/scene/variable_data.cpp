#include "platform/scene/variable_data.h"

bool VariableData::load(const QString &path, const XlsxSheet::Progress &progress)
{
    m_columns.clear();
    if (!m_sheet.load(path, progress))
        return false;
    const QStringList header = m_sheet.row(0);
    for (int c = 0; c < header.size(); ++c)
        if (!header.at(c).isEmpty() && !m_columns.contains(header.at(c)))
            m_columns.insert(header.at(c), c);
    return true;
}

QString VariableData::substitute(const QString &text, int index) const
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf('{', i);
        const qsizetype close = open < 0 ? -1 : text.indexOf('}', open + 1);
        if (close < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, open - i);
        const auto it = m_columns.constFind(text.mid(open + 1, close - open - 1));
        if (it == m_columns.cend())
            out += QStringView(text).mid(open, close - open + 1);
        else
            out += m_sheet.cell(index, it.value());
        i = close + 1;
    }
    return out;
}
