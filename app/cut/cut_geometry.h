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

// The label template's resolution: five pixels to the point, 14175 dots a metre.
constexpr double kPixelsPerPoint = 5.0;

// The label template: the closed cut outlines filled black (0) on white
// (255) with the odd-even rule, as Qt fills such a path without
// antialiasing, one grey byte a pixel, five pixels to the point, over the
// full page (in points); as the label finder takes it. Filled in bands of
// rows, side by side, holding only the outlines of a band at once. Empty
// for an empty page.
cv::Mat renderTemplate(const QRectF &pagePoints, const QList<QGraphicsItem *> &items);

// The template as a picture (8-bit grey), sharing the template's bytes.
QImage pictureOf(const cv::Mat &templ);

// The template as an RGB888 picture.
QImage renderMask(const QRectF &pagePoints, const QList<QGraphicsItem *> &items);

// Reversed cutting: turns the items half a turn about the marks' centre.
void turnAboutMarks(const GMarkItem &mark, const QList<QGraphicsItem *> &items);

} // namespace CutGeometry
