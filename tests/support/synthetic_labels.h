#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>

// Synthetic check-camera pictures with known answers: a web of label pages
// under the check camera, drawn from the page's labels in millimetres, and
// the cut mask the program renders for the same page. Picture x runs across
// the web, y along it.
namespace synth {

struct Label
{
    QRectF mm;      // on the page: x across the web, y along it
    QString qr;     // QR code text, empty for none
    QString barcode; // Code 128 text, empty for none
    QString text;   // a printed line, empty for none
};

struct LabelWeb
{
    QSizeF pageMm{100.0, 80.0}; // width across the web, height along it
    QList<Label> labels;
    QSize size{1600, 1200};      // the picture
    int firstEdge = 200;         // paper edges, pixels (the scale follows)
    int lastEdge = 1400;
    int firstPageY = 150;        // where the first whole page starts
    double pageSpacingMm = 0.0;  // bare liner between two pages
    QSet<int> missing;           // label indices left off the first whole page
    int background = 35;
    int liner = 150;
    int labelStock = 238;
    double noiseSigma = 0.0; // grey levels of sensor noise
    bool blur = false;       // a slightly soft lens
    double shading = 0.0;    // light falling off across the web, 0..1
    double rotationDeg = 0.0; // the web turned about the paper's middle
    quint32 seed = 1;
};

// The cut mask as the program renders it: 5 x points per millimetre,
// RGB888, black labels on white.
QImage renderCutMaskOf(const LabelWeb &web);

QImage renderCheckPicture(const LabelWeb &web);

double pxPerMm(const LabelWeb &web);
// Label i of the first whole page in picture pixels.
QRect labelInPicture(const LabelWeb &web, int i);

// A 2 x 3 grid of 40 x 20 mm labels on a 100 x 80 mm page with the last
// 10 mm free (so the page start is unambiguous), some carrying codes and text.
LabelWeb standardWeb();

// One web of a wide set, drawn from seed: liners from 60 to 220 grey on
// backgrounds from 10 to 90, grids of 1 to 3 columns and 2 to 4 rows with
// gaps from 2 to 8 mm, labels missing in the first or last row or column,
// code-only and text-only labels, blur, noise, uneven light and turns up
// to 1 degree. The whole first page lies in the 1600 x 1200 picture.
LabelWeb variedWeb(quint32 seed);
// The page pitch along the web in picture pixels.
double pagePitchPx(const LabelWeb &web);

// A Code 128 symbol scaled to width x height pixels.
QImage barcodeSymbol(const QString &text, int height, int width);

} // namespace synth
