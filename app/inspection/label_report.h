#pragma once

#include "platform/detector/read_data.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <vector>

// One page's line of the inspection report "label.csv": time, summary, the
// lost labels and the checked ones with what was read on them.
struct LabelReportInput
{
    std::vector<DetectedLabel> labels;
    int segmentX = 0;   // where the page starts along the web, pixels
    int paperTop = 0;   // the first paper edge, pixels
    double scale = 0.0; // mm per pixel
    QList<QPair<double, double>> rows; // the label grid, mm
    QList<QPair<double, double>> cols;
    bool ocr = false;
    bool qr = false;
    bool barcode = false;
    QDateTime time;
};

// The CSV line, line end included. Rows and columns count from 1; 0 means
// the label lies in none.
QString labelReportLine(const LabelReportInput &in);

// Appends line to the file, encoded in GBK; false when the file cannot be
// written. Characters GBK lacks are logged and written as the codec's
// replacement.
bool appendLabelReport(const QString &path, const QString &line);
