#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <optional>

// The largest cut page the station takes. Its label template is drawn at
// the inspection's fixed resolution, a byte a pixel: about 201 MB a square
// metre of page. Neither the machine nor the settings name a page size, so
// the bound is the template the station can hold beside what it runs:
// 256 MiB, a little over 1.3 m² (the 1000 x 1000 mm and 330 x 1000 mm pages
// the program is measured with fit). A page is checked before anything of
// it is drawn.
namespace CutPageLimit {

constexpr qint64 kMaxTemplateBytes = 256LL * 1024 * 1024;

// The bytes a page's template takes as it is drawn (infinite for a page no
// template holds).
double templateBytes(const QSizeF &pageMm);
bool accepts(const QSizeF &pageMm);
// The largest page, in square metres.
double largestAreaM2();
// What the log says of a refused page.
QString reason(const QSizeF &pageMm);

// What a cut file's bytes give, read without touching a scene: HPGL
// parsed, a ".tva" opened into a scene of its own.
struct FilePage
{
    // None for a file that cannot be read at all or an empty HPGL file:
    // their opening goes on as it always did.
    std::optional<QSizeF> pageMm;
    // Why the bytes are no cut file the station reads; empty when they are one.
    QString unreadable;
    // The instruction the reader cannot cut, when that was the reason.
    QString uncut;
};
FilePage pageOf(const QByteArray &bytes, const QString &path);

} // namespace CutPageLimit
