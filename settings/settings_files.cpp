#include "settings/settings_files.h"

#include "settings/param_table.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

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

} // namespace SettingsFiles
