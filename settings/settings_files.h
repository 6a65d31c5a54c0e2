#pragma once

#include <QString>

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

} // namespace SettingsFiles
