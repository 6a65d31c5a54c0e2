#include "settings/settings_files.h"

#include "settings/param_table.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// What a write under way is called beside its file, so a start finds and
// removes what a kill left.
const QString kWriting = QStringLiteral(".writing-");

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

} // namespace

namespace SettingsFiles {

bool replaceFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qCritical() << "Config::replaceFile" << "cannot read" << source << in.errorString();
        return false;
    }
    // QSaveFile writes beside target and renames on commit (after a sync).
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        qCritical() << "Config::replaceFile" << "cannot write" << target << out.errorString();
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0 || (n > 0 && out.write(buffer, n) != n)) {
            qCritical() << "Config::replaceFile" << "cannot copy" << source << "to" << target;
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
    }
    if (!out.commit()) {
        qCritical() << "Config::replaceFile" << "cannot replace" << target << out.errorString();
        return false;
    }
    return true;
}

bool writeTableDefaults(const QString &path)
{
    // QSettings writes its file in place; build it under a temporary name.
    QTemporaryFile temp(QFileInfo(path).absolutePath() + QStringLiteral("/.defaults-XXXXXX.ini"));
    if (!temp.open()) {
        qCritical() << "Config::writeTableDefaults" << "cannot write beside" << path;
        return false;
    }
    temp.close();
    {
        QSettings ini(temp.fileName(), QSettings::IniFormat);
        for (int id = 0; id < ParamTable::kCount; ++id) {
            const ParamTable::Entry &e = ParamTable::entry(id);
            ini.setValue(QString::fromLatin1(e.key), e.defaultValue);
        }
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            qCritical() << "Config::writeTableDefaults" << "cannot write" << temp.fileName();
            return false;
        }
    }
    return replaceFile(temp.fileName(), path);
}

bool writeIni(const QString &path, const QMap<QString, QVariant> &keys, QString *why)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isWritable()) {
        *why = QStringLiteral("the file is read-only");
        return false;
    }
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + kWriting
                        + QStringLiteral("XXXXXX"));
    if (!temp.open()) {
        *why = QStringLiteral("cannot make a file beside it: ") + temp.errorString();
        return false;
    }
    temp.close();
    {
        // Its own name: no other writer, and no lock file anyone left.
        QSettings ini(temp.fileName(), QSettings::IniFormat);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            ini.setValue(it.key(), it.value());
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            *why = QStringLiteral("cannot write beside it (the disk full?)");
            return false;
        }
    }
    if (target.exists())
        QFile::setPermissions(temp.fileName(), QFile::permissions(path));
    if (!renameOver(temp.fileName(), path, why))
        return false;
    syncFolder(target.absolutePath());
    return true;
}

void removeLeftovers(const QString &path)
{
    const QFileInfo target(path);
    QDir folder = target.absoluteDir();
    for (const QString &name : folder.entryList({target.fileName() + kWriting + QLatin1Char('*')}, QDir::Files))
        folder.remove(name);
}

} // namespace SettingsFiles
