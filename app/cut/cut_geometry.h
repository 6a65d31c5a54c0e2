#pragma once

#include <QImage>
#include <QList>
#include <QRectF>

#include <opencv2/core.hpp>

class GMarkItem;
class QGraphicsItem;

// Geometry of a cut page that needs no scene, so it can be built on a
// worker thread as well as on the GUI thread.
namespace CutGeometry {

// The label template: the closed cut outlines filled black on white, five
// pixels to the point, over the full page (in points).
QImage renderMask(const QRectF &pagePoints, const QList<QGraphicsItem *> &items);

// The template as it is held: one bit a pixel, as the fill is black or
// white. Converted back to RGB888 it is the rendered picture again.
QImage compactMask(const QImage &mask);

// The inspection template of a rendered (RGB888) template: one grey byte a
// pixel, as the label finder takes it.
cv::Mat inspectionOf(const QImage &mask);

// Reversed cutting: turns the items half a turn about the marks' centre.
void turnAboutMarks(const GMarkItem &mark, const QList<QGraphicsItem *> &items);

} // namespace CutGeometry
