#include "app/cut/cut_page_limit.h"

#include "app/cut/cut_geometry.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace CutPageLimit {

double templateBytes(const QSizeF &pageMm)
{
    const QSizeF pixels = GPathProcess::mm2Point(pageMm) * CutGeometry::kPixelsPerPoint;
    const double bytes = pixels.width() * pixels.height();
    return std::isfinite(bytes) ? bytes : std::numeric_limits<double>::infinity();
}

bool accepts(const QSizeF &pageMm)
{
    return templateBytes(pageMm) <= double(kMaxTemplateBytes);
}

double largestAreaM2()
{
    return double(kMaxTemplateBytes) / templateBytes(QSizeF(1000.0, 1000.0));
}

QString reason(const QSizeF &pageMm)
{
    constexpr double kMiB = 1024.0 * 1024.0;
    return QStringLiteral("page %1 x %2 mm, its template %3 MiB, more than %4 MiB")
        .arg(pageMm.width(), 0, 'f', 1)
        .arg(pageMm.height(), 0, 'f', 1)
        .arg(templateBytes(pageMm) / kMiB, 0, 'f', 0)
        .arg(double(kMaxTemplateBytes) / kMiB, 0, 'f', 0);
}

std::optional<QSizeF> pageOf(const QByteArray &bytes, const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("tva"), Qt::CaseInsensitive) == 0) {
        GScene scene;
        if (!scene.openFile(path))
            return std::nullopt;
        return scene.page()->sizeMm();
    }
    GScene::HpglContent content;
    QString error;
    if (!GScene::parseHpgl(bytes, path, &content, &error))
        return std::nullopt;
    delete content.mark;
    qDeleteAll(content.items);
    return content.pageMm;
}

std::optional<QSizeF> pageOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return pageOf(file.readAll(), path);
}

} // namespace CutPageLimit
