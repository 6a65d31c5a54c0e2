#pragma once

#include <QString>

// One firmware version query, as the application fills it from the linked
// machine. Empty ip and location are looked up by the dialog.
struct FirmwareQuery
{
    QString machineCode;
    QString machineModelCode;
    QString firmNo;
    QString pcbCode;
    QString pcbversion;
    QString ip;
    QString location;
    QString language;
    QString loginContext;
    qint32 firmModule = 0;
};
