// HPGL side of GScene: cut files in, cutter HPGL with the page header out.
//
// Header written before the paths (plotter units, cutter axes):
//   PS height,width,top,left,markType,markSize;   page, origin (first mark)
//   MD top,left,areaHeight,areaWidth,markSize;    rectangle of the marks
// Path coordinates after the header are relative to the first mark. A page
// without marks gets only "PS height,width;", read back without a mark item.
#include "platform/scene/gscene.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/hpgl/hpgl_parser.h"

#include <QDebug>

#include <cmath>

namespace {

QByteArray field(double v)
{
    QByteArray s = QByteArray::number(v, 'f', 3);
    while (s.endsWith('0'))
        s.chop(1);
    if (s.endsWith('.'))
        s.chop(1);
    return s == "-0" ? QByteArray("0") : s;
}

} // namespace

bool GScene::parseHpgl(const QByteArray &data, const QString &path, HpglContent *content, QString *error)
{
    // The outlines go straight into batches as they are read, in plotter
    // units; the origin is applied once the header is known.
    HpglParser parser;
    QList<QGraphicsItem *> batches;
    GPathBatch *batch = nullptr;
    const bool parsed = parser.parse(data, [&](const HpglParser::Polyline &l) {
        if (!batch || batch->count() >= GPathBatch::kPaths) {
            batch = new GPathBatch;
            batches.append(batch);
        }
        batch->append(l.pen > 0 ? l.pen : 1, l.points);
    });
    if (!parsed) {
        qDeleteAll(batches);
        *error = QStringLiteral("not a cut file (%1)").arg(parser.errorString());
        content->uncut = parser.uncutInstruction();
        return false;
    }

    const HpglParser::Header &h = parser.header();
    bool haveHeader = false;
    QSizeF pageMm;
    QPointF originMm;
    GMarkItem *mark = nullptr;
    if (h.ps.size() >= 2 && h.ps.size() < 5) {
        // A page without marks, as this scene writes one.
        const QSizeF mm = GPathProcess::hpgl2Mm(QSizeF(h.ps[1], h.ps[0]));
        if (mm.width() > 0.0 && mm.height() > 0.0) {
            haveHeader = true;
            pageMm = mm;
        }
    } else if (h.ps.size() >= 5) {
        pageMm = GPathProcess::hpgl2Mm(QSizeF(h.ps[1], h.ps[0]));
        if (!(pageMm.width() > 0.0) || !(pageMm.height() > 0.0)) {
            qCritical() << "GScene::openFile" << path << "page header with zero size refused:" << h.ps;
        } else {
            haveHeader = true;
            originMm = GPathProcess::hpgl2Mm(QPointF(h.ps[3], h.ps[2]));
            const int markType = int(h.ps[4]);
            const double markSize = h.ps.size() >= 6 ? GPathProcess::hpgl2Mm(h.ps[5]) : 5.0;
            // Without MD the marks sit as far from the far edges as from the near ones.
            QSizeF area(pageMm.width() - 2.0 * originMm.x(), pageMm.height() - 2.0 * originMm.y());
            if (!h.md.isEmpty() && h.md.first().size() >= 4)
                area = GPathProcess::hpgl2Mm(QSizeF(h.md.first()[3], h.md.first()[2]));
            const QMarginsF margins(originMm.x(), originMm.y(), originMm.x() + area.width() - pageMm.width(),
                                    originMm.y() + area.height() - pageMm.height());
            mark = new GMarkItem(pageMm, margins, markType, markSize);
        }
    }

    const QPointF origin = GPathProcess::mm2Point(originMm);
    QRectF bounds;
    for (QGraphicsItem *item : batches)
        bounds = bounds.united(static_cast<GPathBatch *>(item)->finish(origin));

    if (!haveHeader) {
        // No page in the file: the drawing's extent from the origin, else A4.
        const QSizeF mm = GPathProcess::point2Mm(QSizeF(bounds.right(), bounds.bottom()));
        pageMm = (mm.width() > 0.0 && mm.height() > 0.0) ? QSizeF(std::ceil(mm.width()), std::ceil(mm.height()))
                                                         : QSizeF(210.0, 297.0);
    }
    content->pageMm = pageMm;
    content->mark = mark;
    content->items = std::move(batches);
    return true;
}

bool GScene::openHpgl(const QByteArray &data, const QString &path)
{
    HpglContent content;
    QString error;
    if (!parseHpgl(data, path, &content, &error)) {
        fail(path, error);
        return false;
    }
    setPageGeometry(content.pageMm, content.mark);
    for (QGraphicsItem *item : content.items)
        addCutItem(item);
    return true;
}

QByteArray GScene::hpglDocument(const QList<QGraphicsItem *> &items) const
{
    const QSizeF pageMm = m_page.layout().fullRect(QPageLayout::Millimeter).size();
    const GMarkItem *mark = m_page.markItem();
    QByteArray out = "IN;PS" + field(GPathProcess::mm2Hpgl(pageMm.height())) + ','
                     + field(GPathProcess::mm2Hpgl(pageMm.width()));
    // Without marks the page size alone: five fields would come back as a mark item.
    if (mark) {
        const QPointF originMm(mark->margins().left(), mark->margins().top());
        const QSizeF areaMm = GPathProcess::point2Mm(mark->markRect().size());
        const double markSize = GPathProcess::mm2Hpgl(mark->markSize());
        out += ',' + field(GPathProcess::mm2Hpgl(originMm.y())) + ',' + field(GPathProcess::mm2Hpgl(originMm.x()))
               + ',' + QByteArray::number(mark->markType()) + ',' + field(markSize) + ";MD"
               + field(GPathProcess::mm2Hpgl(originMm.y())) + ',' + field(GPathProcess::mm2Hpgl(originMm.x())) + ','
               + field(GPathProcess::mm2Hpgl(areaMm.height())) + ',' + field(GPathProcess::mm2Hpgl(areaMm.width()))
               + ',' + field(markSize);
    }
    out += ";\n";
    const QMarginsF margins = mark ? GPathProcess::mm2Point(mark->margins()) : QMarginsF();
    for (const GCutPath &path : GCutPath::of(items)) {
        path.appendHpgl(out, QTransform(), margins, QPointF(), false);
        out += '\n';
    }
    out += "PU0,0;PG;\n";
    return out;
}
