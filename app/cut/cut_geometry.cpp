#include "app/cut/cut_geometry.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_process.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

namespace CutGeometry {

QImage renderMask(const QRectF &pagePoints, const QList<QGraphicsItem *> &items)
{
    const QSize size = (pagePoints.size() * 5.0).toSize();
    if (size.isEmpty())
        return QImage();
    QImage img(size, QImage::Format_RGB888);
    if (img.isNull())
        return img;
    img.fill(Qt::white);
    img.setDotsPerMeterX(14175);
    img.setDotsPerMeterY(14175);
    QPainter painter(&img);
    painter.setTransform(QTransform::fromScale(5.0, 5.0));
    QPainterPath all;
    all.setFillRule(Qt::OddEvenFill);
    for (const GCutPath &path : GCutPath::of(items)) {
        QPainterPath p = path.path();
        if (p.elementCount() < 2)
            continue;
        p.lineTo(p.elementAt(0).x, p.elementAt(p.elementCount() - 1).y);
        p.closeSubpath();
        all.addPath(path.item->mapToScene(p));
    }
    painter.fillPath(all, Qt::black);
    painter.end();
    // The image keeps its paint engine, and the engine the outline buffers
    // of the whole fill, for as long as it lives: hand on a copy without.
    return img.copy();
}

QImage compactMask(const QImage &mask)
{
    return mask.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

cv::Mat inspectionOf(const QImage &mask)
{
    // Black and white only, so any one channel is the grey.
    const cv::Mat view(mask.height(), mask.width(), CV_8UC3, const_cast<uchar *>(mask.constBits()),
                       size_t(mask.bytesPerLine()));
    cv::Mat grey;
    cv::extractChannel(view, grey, 0);
    return grey;
}

void turnAboutMarks(const GMarkItem &mark, const QList<QGraphicsItem *> &items)
{
    const QMarginsF m = GPathProcess::mm2Point(mark.margins());
    const QPointF c = mark.srcRect().center() - QPointF(m.left(), m.top());
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(3.141592653589793, Qt::ZAxis);
    t.translate(-c.x(), -c.y());
    t.translate(-(m.left() + m.right()), -(m.top() + m.bottom()));
    for (QGraphicsItem *item : items)
        item->setTransform(t, true);
}

} // namespace CutGeometry
