#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

// Whole-file operations on the settings files beside the program. Every
// write follows symbolic links (the file a link names is replaced, the link
// stays), builds the new file under a name a start recognises and removes
// (removeLeftovers), created as any new file is (0666 less the umask),
// flushes it to disk and renames it over the old one, so a file is at every
// moment either the old one or the whole new one, even when the process is
// killed midway.
namespace SettingsFiles {

// Why a file could not be written, as the operator is told it.
enum class Fault { None, ReadOnlyFile, ReadOnlyFolder, CannotWrite, CannotReplace };

struct Failure
{
    Fault fault = Fault::None;
    QString why; // for the log
};

// What a write of an INI file puts over the file as it is on disk: the
// keys the program changed since the file last took a write (one missing
// from keys was removed), and the sections only the program writes, whose
// keys on disk become exactly keys'. Every other key on disk stays as it is,
// so one changed or added by hand while the program runs survives. A file
// that is missing or not INI text takes all of keys.
struct Changes
{
    QMap<QString, QVariant> keys;
    QSet<QString> changed; // as normalizedKey gives them
    QStringList owned; // prefixes of whole sections: "Total/", "Untaken."
};

// Puts a copy of source at target.
bool replaceFile(const QString &source, const QString &target);

// Writes the parameter table's defaults (every key with its default) as an
// INI file at path.
bool writeTableDefaults(const QString &path);

// Writes changes into the INI file at path; true means it is on disk. No
// lock file is made or waited for: the caller is the file's one writer. A
// file made read-only is not replaced.
bool writeIni(const QString &path, const Changes &changes, Failure *failure);

// Removes what writes killed midway left beside path.
void removeLeftovers(const QString &path);

// Whether bytes can be a settings file: QSettings reads almost anything as
// INI without complaint, but a settings file is text, so NUL bytes or
// invalid UTF-8 mean it was damaged.
bool isIniText(const QByteArray &bytes);

// A key as QSettings keeps it ("Pen1//color" is "Pen1/color").
QString normalizedKey(const QString &key);

} // namespace SettingsFiles
