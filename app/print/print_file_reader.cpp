#include "app/print/print_file_reader.h"

#include <QDebug>
#include <QPageSize>
#include <QPdfDocument>
#include <QTransform>

namespace PrintFileReader {

QSizeF pointsToMm(const QSizeF &points)
{
    if (!(points.width() > 0.0) || !(points.height() > 0.0))
        return QSizeF(0, 0);
    return QPageSize(points, QPageSize::Point, QString(), QPageSize::FuzzyMatch).size(QPageSize::Millimeter);
}

PrintFileContent read(const QString &path, int machineVersion)
{
    PrintFileContent out;
    QImage page;
    if (path.endsWith(QLatin1String(".pdf"))) {
        out.read = true;
        QPdfDocument doc;
        if (doc.load(path) != QPdfDocument::Error::None || doc.pageCount() < 1) {
            qCritical() << "SpoolsmithApp::openPrintPdf" << "cannot read" << path;
            return out;
        }
        const QSizeF points = doc.pagePointSize(0);
        out.pageMm = pointsToMm(points);
        page = doc.render(0, QSize(int(points.width()), int(points.height())));
    } else if (path.endsWith(QLatin1String(".tif")) && machineVersion == 2) {
        out.read = true;
        const bool ok = page.load(path);
        qInfo() << "SpoolsmithApp::openPrintPdf" << ok << page.size();
        out.pageMm = pointsToMm(QSizeF(page.size()));
    } else {
        return out;
    }
    if (!page.isNull())
        out.preview = page.transformed(QTransform().rotate(-90), Qt::FastTransformation);
    return out;
}

} // namespace PrintFileReader
