#include "settings/settings_files.h"

#include "settings/param_table.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSettings>
#include <QStringDecoder>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace SettingsFiles {
namespace {

// What a write under way is called beside its file, so a start finds and
// removes what a kill left.
const QString kWriting = QStringLiteral(".writing-");
// A settings file is a few kilobytes; one far larger is not merged into but
// written anew from the program's keys.
constexpr qint64 kMaxIniBytes = 16 * 1024 * 1024;

bool fail(Failure *failure, Fault fault, const QString &why)
{
    failure->fault = fault;
    failure->why = why;
    return false;
}

// The file a path names, through its symbolic links: a write replaces that
// file and leaves the link.
QString resolved(const QString &path)
{
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 32; ++hops)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

bool renameOver(const QString &from, const QString &to, QString *why)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *why = QStringLiteral("cannot replace the file (error %1)").arg(GetLastError());
    return false;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *why = QStringLiteral("cannot replace the file: ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

// The rename itself reaches the disk only with its folder.
void syncFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder) // MOVEFILE_WRITE_THROUGH
#endif
}

// Puts in place of path (through its links) what fill writes into the new
// file beside it, given its name. fill writes through QSaveFile (which
// QSettings uses too), so the new file is on disk before the rename.
bool replaceWith(const QString &path, const std::function<bool(const QString &, Failure *)> &fill,
                 Failure *failure)
{
    const QString target = resolved(path);
    const QFileInfo info(target);
    if (info.exists() && !info.isWritable())
        return fail(failure, Fault::ReadOnlyFile, QStringLiteral("the file is read-only"));
    QString temp;
    for (int tries = 0; temp.isEmpty() && tries < 16; ++tries) {
        const QString name = target + kWriting + QString::number(QRandomGenerator::global()->generate(), 36);
        QFile file(name);
        // Created as any new file is: QSaveFile keeps the mode it finds.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            temp = name;
        else if (!QFile::exists(name))
            return fail(failure, QFileInfo(info.absolutePath()).isWritable() ? Fault::CannotWrite : Fault::ReadOnlyFolder,
                        QStringLiteral("cannot make a file beside it: ") + file.errorString());
    }
    if (temp.isEmpty())
        return fail(failure, Fault::CannotWrite, QStringLiteral("no free name beside it"));
    if (!fill(temp, failure)) {
        QFile::remove(temp);
        return false;
    }
    if (info.exists())
        QFile::setPermissions(temp, QFile::permissions(target));
    QString why;
    if (!renameOver(temp, target, &why)) {
        QFile::remove(temp);
        return fail(failure, Fault::CannotReplace, why);
    }
    syncFolder(info.absolutePath());
    return true;
}

// The bytes of path, and whether they can be merged into: an INI text of
// sane size.
bool readIniText(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIniBytes)
        return false;
    *bytes = file.read(file.size() + 1);
    // An emptied file is written whole, as a missing one is.
    return !bytes->trimmed().isEmpty() && bytes->size() <= kMaxIniBytes && isIniText(*bytes);
}

// Writes changes into the file named temp, over base (the file as it is on
// disk) when merge; false when base could not be parsed as INI.
bool fillIni(const QString &temp, const QByteArray &base, bool merge, const Changes &changes, Failure *failure)
{
    if (merge) {
        // Not flushed: QSettings writes the file anew, flushed, below.
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(base) != base.size())
            return fail(failure, Fault::CannotWrite, QStringLiteral("cannot write beside it: ") + file.errorString());
    }
    // Its own name: no other writer, and no lock file anyone left.
    QSettings ini(temp, QSettings::IniFormat);
    // (No fault: writeIni then writes the keys without the base.)
    if (ini.status() != QSettings::NoError)
        return fail(failure, merge ? Fault::None : Fault::CannotWrite, QStringLiteral("not an INI file"));
    const auto owned = [&](const QString &key) {
        for (const QString &prefix : changes.owned)
            if (key.startsWith(prefix))
                return true;
        return false;
    };
    if (merge) {
        for (const QString &section : ini.childGroups())
            if (owned(section + QLatin1Char('/')))
                ini.remove(section);
        for (const QString &key : changes.changed)
            if (!owned(key) && !changes.keys.contains(key))
                ini.remove(key);
    }
    for (auto it = changes.keys.cbegin(); it != changes.keys.cend(); ++it)
        if (!merge || owned(it.key()) || changes.changed.contains(it.key()))
            ini.setValue(it.key(), it.value());
    ini.sync();
    if (ini.status() != QSettings::NoError)
        return fail(failure, Fault::CannotWrite, QStringLiteral("cannot write beside it (the disk full?)"));
    return true;
}

} // namespace

bool replaceFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qCritical() << "Config::replaceFile" << "cannot read" << source << in.errorString();
        return false;
    }
    Failure failure;
    const bool copied = replaceWith(target, [&](const QString &temp, Failure *failed) {
        QSaveFile out(temp);
        if (!out.open(QIODevice::WriteOnly))
            return fail(failed, Fault::CannotWrite, out.errorString());
        char buffer[64 * 1024];
        for (;;) {
            const qint64 n = in.read(buffer, sizeof buffer);
            if (n < 0 || (n > 0 && out.write(buffer, n) != n))
                return fail(failed, Fault::CannotWrite, QStringLiteral("cannot copy ") + source);
            if (n == 0)
                break;
        }
        return out.commit() || fail(failed, Fault::CannotWrite, out.errorString());
    }, &failure);
    if (!copied)
        qCritical() << "Config::replaceFile" << "cannot replace" << target << failure.why;
    return copied;
}

bool writeTableDefaults(const QString &path)
{
    Changes defaults;
    for (int id = 0; id < ParamTable::kCount; ++id) {
        const ParamTable::Entry &e = ParamTable::entry(id);
        defaults.keys.insert(QString::fromLatin1(e.key), e.defaultValue);
        defaults.changed.insert(QString::fromLatin1(e.key));
    }
    Failure failure;
    if (writeIni(path, defaults, &failure))
        return true;
    qCritical() << "Config::writeTableDefaults" << "cannot write" << path << failure.why;
    return false;
}

bool writeIni(const QString &path, const Changes &changes, Failure *failure)
{
    // Read again at each write: what was changed by hand since stays.
    QByteArray base;
    bool merge = readIniText(resolved(path), &base);
    for (;;) {
        Failure attempt;
        if (replaceWith(path, [&](const QString &temp, Failure *f) { return fillIni(temp, base, merge, changes, f); },
                        &attempt))
            return true;
        // A text QSettings cannot parse is not merged into either.
        if (attempt.fault != Fault::None || !merge) {
            *failure = attempt;
            return false;
        }
        merge = false;
    }
}

void removeLeftovers(const QString &path)
{
    const QFileInfo target(resolved(path));
    QDir folder = target.absoluteDir();
    for (const QString &name : folder.entryList({target.fileName() + kWriting + QLatin1Char('*')}, QDir::Files))
        folder.remove(name);
}

bool isIniText(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    Q_UNUSED(text)
    return !utf8.hasError();
}

QString normalizedKey(const QString &key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

} // namespace SettingsFiles
