#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

#include <functional>

class OcrLite;

// What the OCR found of a page code in a mark-camera picture.
struct PageCodeReading
{
    QString text;          // the text of the line taken (may be no code)
    float score = 0.0f;    // its recognition confidence
    QList<QPointF> points; // its box corners, scaled by the caller's factor
    quint32 code = 0;      // the page code; 0 when no line was a code
};

// One line the OCR read: its text, confidence and box corners (picture
// pixels).
struct PageCodeLine
{
    QString text;
    float score = 0.0f;
    QList<QPointF> box;
};

// The characters a page code is printed in; the recogniser reads a page
// code line over these only.
extern const char *const kPageCodeChars;

// Reads the page code printed beside a mark as eight hexadecimal digits.
// img is converted to BGR and given to the OCR engine with the mark-scan
// settings (padding 20, longest side 600, box score 0.8, box threshold 0.8,
// unclip 1.5, angle detection with majority vote). Every line is logged;
// the last line that is a code wins (else the last line, code 0). scale
// maps picture pixels to the caller's reduced picture (points × scale).
PageCodeReading readPageCodeByOcr(OcrLite &ocr, const QImage &img, double scale);
// Every line of the picture read as a page code would be, in reading order.
// A detectorScale below 1 has the text detector look at the picture reduced
// by it (at most 600 pixels a side still); the lines are read at full size.
QList<PageCodeLine> readPageCodeLines(OcrLite &ocr, const QImage &img, double detectorScale = 1.0);

// Where the page code printed as text lies beside a mark centred at
// markCentre (picture pixels, 40 a mm): the line starts markSize / 2 + 2 mm
// from the centre and runs 16 mm, 2 mm tall, in whichever of the four
// directions the camera turns the page. The strip of those four holding the
// most ink, cut to its inked part with a margin; empty when none holds a
// line's worth of ink.
QRect pageCodeTextArea(const QImage &picture, const QPointF &markCentre, double markSize);

// The lines a reader finds in a 24-bit BGR picture, its text detector
// looking at it reduced by detectorScale.
using PageCodeLineReader = std::function<QList<PageCodeLine>(const QImage &bgr, double detectorScale)>;
// The lines of the page code of a capture whose mark is centred at
// markCentre (null: not found): the code's text area alone first, points
// in capture pixels, found at half size; the whole capture when that holds no code, unless that
// read took waitBoundMs or more (the reader waited for its models: no second
// wait).
QList<PageCodeLine> readPageCodeBesideMark(const PageCodeLineReader &read, const QImage &img,
                                           const QPointF &markCentre, double markSize, int waitBoundMs);

// A page code as OCR reads it: eight hexadecimal digits once spaces are
// dropped and the letter O is taken as the digit 0. Anything else is no code.
bool parseOcrPageCode(const QString &text, quint32 *code);
