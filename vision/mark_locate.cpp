#include "vision/mark_locate.h"

#include "vision/mark_finder.h"
#include "vision/nearest_reduce.h"

#include <QDebug>
#include <QRect>

#include <algorithm>

MarkLocateResult locateMark(const QImage &picture, const MarkLocateParams &params)
{
    return locateMarkWith(picture, params, &findMarksIn);
}

MarkLocateResult locateMarkWith(const QImage &picture, const MarkLocateParams &params, MarkFinderFn finder)
{
    MarkLocateResult result;
    if (picture.isNull() || params.cameraWidth <= 0 || params.cameraHeight <= 0)
        return result;
    // A picture smaller than the reduced size cannot show a mark at the
    // camera's resolution; refused rather than divided by.
    if (picture.width() < params.cameraWidth || picture.height() < params.cameraHeight) {
        qWarning() << "locateMark" << "picture too small" << picture.size();
        return result;
    }

    result.small = reduceNearest(picture, QSize(params.cameraWidth, params.cameraHeight));
    if (result.small.width() < 1 || result.small.height() < 1)
        return result;
    // The real ratio of the two sizes: whole-number steps would misplace
    // marks on pictures that are not a multiple of the reduced width.
    result.scale = double(picture.width()) / double(result.small.width());
    const int d = int(params.markSize * kMarkCameraPixelsPerMm / result.scale);
    MarkRecord records[4];
    result.candidates = finder(d, result.small, result.small.rect(), records, 4);

    const float s = float(result.scale);
    const int fullD = int(params.markSize * kMarkCameraPixelsPerMm);

    double lastX = 0.0, lastY = 0.0;
    float lastD = 0.0f;
    for (int i = 0; i < result.candidates; ++i) {
        const int cx0 = std::max(int(float(records[i].x) * s - 150.0f), 0);
        const int cy0 = std::max(int(float(records[i].y) * s - 150.0f), 0);
        // The crop is read where it lies in the capture, not copied.
        const QRect crop(cx0, cy0, kMarkRefineCrop, kMarkRefineCrop);
        MarkRecord refined;
        if (finder(fullD, picture, crop, &refined, 1) >= 1) {
            // Kept to the full picture's pixel: cut to whole reduced pixels the
            // mark would move by up to 0.1 mm, always the same way.
            const double fx = (refined.x + cx0) / result.scale;
            const double fy = (refined.y + cy0) / result.scale;
            const double fd = refined.d / result.scale;
            const int m = params.markIndex;
            if (lastX == 0.0 && lastY == 0.0) {
                lastX = fx;
                lastY = fy;
                lastD = float(fd);
            } else if (params.pairMode
                       && (((m == 1 || m == 2) && fy < lastY) || ((m == 3 || m == 4) && fy > lastY))) {
                lastX = fx;
                lastY = fy;
                lastD = float(fd);
            }
        }
        if (!params.pairMode && !(lastX == 0.0 && lastY == 0.0))
            break;
    }
    result.position = QPointF(lastX, lastY);
    result.diameter = lastD;
    return result;
}
