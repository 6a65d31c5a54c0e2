#pragma once

#include <QString>
#include <QVariant>

// One entry of the parameter table as the settings object holds it.
struct ParamInfo
{
    int type = -1;     // the parameter's own id (Config::ConfigParamType)
    QString showName;  // translated display label; empty when hidden
    QString key;       // INI key, "section/name"
    QVariant value;    // current value, of the parameter's type
};
