#pragma once

#include <QImage>
#include <QPointF>

// How one mark-camera picture is searched for the mark nearest its centre.
struct MarkLocateParams
{
    double markSize = 3.5;   // mark diameter, mm
    int cameraWidth = 320;   // reduced picture the search works in
    int cameraHeight = 240;
    bool pairMode = false;   // the page's marks come in pairs (mark type 1)
    int markIndex = 0;       // which mark of the page is being scanned, 1..4
};

struct MarkLocateResult
{
    QImage small;            // the reduced picture
    QPointF position;        // mark centre in reduced pixels; (0, 0) none
    float diameter = 0.0f;   // mark diameter in reduced pixels; 0 none
    int candidates = 0;      // marks found on the reduced picture
    double scale = 1.0;      // full-resolution pixels per reduced pixel
};

// Full-resolution pixels per millimetre on the mark camera.
constexpr double kMarkCameraPixelsPerMm = 40.0;
// Side of the full-resolution crop a mark is refined on.
constexpr int kMarkRefineCrop = 300;

// Search on a reduced copy, refine each candidate on a full-resolution crop.
MarkLocateResult locateMark(const QImage &picture, const MarkLocateParams &params);
// The same with another finder of findMarksIn's signature (tests compare two).
struct MarkRecord;
using MarkFinderFn = int (*)(int d, const QImage &picture, const QRect &area, MarkRecord *records, int n);
MarkLocateResult locateMarkWith(const QImage &picture, const MarkLocateParams &params, MarkFinderFn finder);
