#pragma once

#include "platform/scene/code_symbol.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

#include <cstdint>

// Synthetic mark-camera pictures with known answers, drawn at the mark
// camera's 40 pixels per millimetre.
namespace synth {

constexpr double kPxPerMm = 40.0;

enum class Shape {
    Disk,          // the registration mark
    DiskWithTicks, // the mark as cut files draw it: bars above and below
    CrossHair,     // the camera-offset pattern: a ring of 3 x size and a cross
    Square,        // false shapes from here on
    Ellipse,
    Ring,
    Blob,          // a large smudge
    Dots,          // specks of about a millimetre
    Bars,          // text-like strokes
};

struct Mark
{
    Shape shape = Shape::Disk;
    QPointF centre;          // full-resolution pixels
    double sizeMm = 3.5;     // diameter (the side for a square)
    double aspect = 1.0;     // ellipse: height over width
};

struct Picture
{
    QSize size{1280, 960};
    QList<Mark> marks;
    double rotationDeg = 0.0;  // page turned under the camera (about each shape)
    double blurSigma = 0.0;    // pixels
    double noiseSigma = 0.0;   // grey levels
    double exposure = 1.0;     // above 1 over-exposes: levels scaled, clipped at white
    double shading = 0.0;      // uneven lighting, 0..1 of the paper level
    int paper = 225;
    int ink = 30;
    QString qrText;            // page code symbol, empty for none
    QPointF qrTopLeft;         // full-resolution pixels
    double qrSizeMm = 6.0;
    uint32_t seed = 1;
};

QImage render(const Picture &picture);

// A QR symbol (version 4, as the page code) scaled to side pixels, black on white.
QImage qrSymbol(const QString &text, int side);

// Where the page code goes beside a mark centred at c: 2 mm right of the
// mark's edge, centred on its height (the page-code rectangle of a page).
QPointF qrBesideMark(const QPointF &c, double markSizeMm, double qrSizeMm = 6.0);

} // namespace synth
