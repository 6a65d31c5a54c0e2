#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>

#include <opencv2/core.hpp>

class GMarkItem;
class QGraphicsItem;

// Geometry of a cut page that needs no scene, so it can be built on a
// worker thread as well as on the GUI thread.
namespace CutGeometry {

// The label template's resolution: five pixels to the point, 14175 dots a metre.
constexpr double kPixelsPerPoint = 5.0;

// The label template's size in pixels for a page (mm) as it is drawn: the
// page layout's sides, which are whole points, five pixels each. Invalid for
// a page whose sides no layout holds. The page bound counts this size too.
QSize templateSize(const QSizeF &pageMm);

// The label template: the closed cut outlines filled black (0) on white
// (255) with the odd-even rule, as Qt fills such a path without
// antialiasing, one grey byte a pixel, five pixels to the point, over the
// full page; as the label finder takes it. Filled in bands of rows, side by
// side, holding only the outlines of a band at once. Empty for an empty page.
cv::Mat renderTemplate(const QSizeF &pageMm, const QList<QGraphicsItem *> &items);

// The template as a picture (8-bit grey), sharing the template's bytes.
QImage pictureOf(const cv::Mat &templ);

// The template as an RGB888 picture.
QImage renderMask(const QSizeF &pageMm, const QList<QGraphicsItem *> &items);

// Reversed cutting: turns the items half a turn about the marks' centre.
void turnAboutMarks(const GMarkItem &mark, const QList<QGraphicsItem *> &items);

} // namespace CutGeometry
