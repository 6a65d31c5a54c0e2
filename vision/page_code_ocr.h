#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>

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
QList<PageCodeLine> readPageCodeLines(OcrLite &ocr, const QImage &img);

// A page code as OCR reads it: eight hexadecimal digits once spaces are
// dropped and the letter O is taken as the digit 0. Anything else is no code.
bool parseOcrPageCode(const QString &text, quint32 *code);
