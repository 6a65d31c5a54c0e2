#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Writes a one-sheet .xlsx for tests: texts that read as numbers become
// number cells, the first column of other texts shared strings, the rest
// inline strings, so that every cell kind the reader knows is present.
bool writeTestXlsx(const QString &path, const QVector<QStringList> &rows);
// The same package around a sheet part, shared strings and styles as given
// (none when empty).
bool writeTestXlsxParts(const QString &path, const QByteArray &sheet, const QByteArray &strings = {},
                        const QByteArray &styles = {});
