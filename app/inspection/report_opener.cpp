#include "app/inspection/report_opener.h"

#include "platform/spreadsheet/spreadsheet_app.h"

#include <QCoreApplication>

void openLabelReport(const QString &programFolder, const std::function<void(const QString &)> &showMessage)
{
    SpreadsheetApp excel;
    if (!excel.setControl(QStringLiteral("Excel.Application")) && !excel.setControl(QStringLiteral("ket.Application"))) {
        showMessage(QCoreApplication::translate("SpoolsmithApp", "文件打开失败，请安装office或wps"));
        return;
    }
    excel.openWorkbook(programFolder + QStringLiteral("/label.csv"));
}
