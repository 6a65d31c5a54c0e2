#include "app/cut/cut_page_limit.h"

#include "app/cut/cut_geometry.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gscene.h"

#include <QFileInfo>

#include <limits>

namespace CutPageLimit {

double templateBytes(const QSizeF &pageMm)
{
    const QSize pixels = CutGeometry::templateSize(pageMm);
    return pixels.isValid() ? double(pixels.width()) * double(pixels.height())
                            : std::numeric_limits<double>::infinity();
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

FilePage pageOf(const QByteArray &bytes, const QString &path)
{
    FilePage page;
    if (QFileInfo(path).suffix().compare(QLatin1String("tva"), Qt::CaseInsensitive) == 0) {
        GScene scene;
        if (scene.openBytes(bytes, path))
            page.pageMm = scene.page()->sizeMm();
        else
            page.unreadable = scene.errorString();
        return page;
    }
    // An empty file opens as it always did: an empty scene.
    if (bytes.isEmpty())
        return page;
    GScene::HpglContent content;
    if (!GScene::parseHpgl(bytes, path, &content, &page.unreadable)) {
        page.uncut = content.uncut;
        return page;
    }
    delete content.mark;
    qDeleteAll(content.items);
    page.pageMm = content.pageMm;
    return page;
}

} // namespace CutPageLimit
