#pragma once

#include <QString>

#include <functional>

// Opens the inspection report "label.csv" of the program folder in the
// spreadsheet application; without one, the operator is told to install it.
void openLabelReport(const QString &programFolder, const std::function<void(const QString &)> &showMessage);
