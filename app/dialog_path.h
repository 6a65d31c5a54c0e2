#pragma once

#include <QString>

class QUrl;

// A file or folder dialog's result as a path that file functions accept:
// "file:" URLs become local paths (a drive path on Windows, a share as
// "//host/share"), "qrc:" URLs resource paths; anything else is returned as
// given, so a plain path passes unchanged.
QString dialogResultToPath(const QString &result);
QString dialogResultToPath(const QUrl &url, const QString &asGiven);
