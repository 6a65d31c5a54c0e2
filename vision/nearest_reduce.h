#pragma once

#include <QImage>
#include <QSize>

// picture.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation), pixel
// for pixel, without Qt's general transform per pixel: which source pixel
// each reduced pixel takes is learnt once per pair of sizes from Qt itself
// (by reducing a picture of pixel indices), then read by table, the rows
// ahead asked for early as the capture is cold. Pictures in other formats
// than RGB32 (the captures'), or whose side exceeds the index range, go
// through Qt.
QImage reduceNearest(const QImage &picture, const QSize &bound);
