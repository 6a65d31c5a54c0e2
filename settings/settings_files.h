#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// Whole-file operations on the settings files beside the program.
namespace SettingsFiles {

// Puts a copy of source at target. The copy is written under a temporary
// name beside target, flushed to disk and renamed over it, so target is at
// every moment either the old file or the whole new one, even when the
// process is killed midway.
bool replaceFile(const QString &source, const QString &target);

// Writes the parameter table's defaults (every key with its default) as an
// INI file at path, by the same temporary name and rename.
bool writeTableDefaults(const QString &path);

// Writes keys as the INI file at path: built under a temporary name beside
// it, flushed, renamed over it, and the folder flushed, so the file is at
// every moment a whole one, and true means it is on disk. No lock file is
// made or waited for: the caller is the file's one writer. A file made
// read-only is not replaced. why gets the reason of a failure.
bool writeIni(const QString &path, const QMap<QString, QVariant> &keys, QString *why);
// Removes what writes killed midway left beside path.
void removeLeftovers(const QString &path);

} // namespace SettingsFiles
