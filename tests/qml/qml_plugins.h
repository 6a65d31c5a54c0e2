#pragma once

// The program's QML modules, linked statically. A test program that loads
// the program's QML includes this in exactly one of its sources.
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)
Q_IMPORT_QML_PLUGIN(PltQuickViewPlugin)
Q_IMPORT_QML_PLUGIN(FilmViewPlugin)
Q_IMPORT_QML_PLUGIN(LostLabelViewPlugin)
Q_IMPORT_QML_PLUGIN(TAVRA_ConfigPlugin)
Q_IMPORT_QML_PLUGIN(QuickItemWidgetPlugin)
