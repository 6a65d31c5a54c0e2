#pragma once

#include "settings/config.h"

#include <QObject>
#include <QtQml/qqml.h>

// QML sees the settings object's enumerations as TAVRA_Config; the settings
// library itself stays free of QML.
struct TavraConfigType
{
    Q_GADGET
    QML_FOREIGN(Config)
    QML_NAMED_ELEMENT(TAVRA_Config)
    QML_UNCREATABLE("TAVRA_Config only carries the settings enumerations")
};
