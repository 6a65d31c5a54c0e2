#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>

// One captured-mark slot: slot 0 holds the latest scan, slots 1 to 4 the
// scans of marks 1 to 4 of the current page.
struct FilmSlot
{
    QImage image;            // the reduced mark-camera picture
    QPointF markPos;         // mark centre in image pixels; (0, 0) none
    float score = -1.0f;     // mark diameter in image pixels; -1 empty, 0 no mark
    QString text;            // page code read on this picture
    QList<QPointF> points;   // outline of the code read, image pixels
};

constexpr int kFilmSlotCount = 5;
