#pragma once

#include <QCoreApplication>
#include <QString>

// Where the English translation is released: "translations" beside the
// program, read at run time.
namespace TranslationFile {

inline QString folder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
}

inline QString name()
{
    return QStringLiteral("Spoolsmith_en_US.qm");
}

} // namespace TranslationFile
