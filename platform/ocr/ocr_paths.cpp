#include "platform/ocr/ocr_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString toLocalPath(const QString &path)
{
    QString local = QDir::fromNativeSeparators(path);
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (local.isEmpty() || QFileInfo(local).isAbsolute() || QFileInfo::exists(local))
        return QDir::cleanPath(local);
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(local);
        if (QFileInfo::exists(beside))
            return QDir::cleanPath(beside);
    }
    return QDir::cleanPath(local);
}

QString resolveModelFile(const QString &configured)
{
    const QString local = toLocalPath(configured);
    if (QFileInfo(local).isFile())
        return local;
    if (configured.contains(QLatin1String("PP-OCRv3"))) {
        QString newer = configured;
        newer.replace(QLatin1String("PP-OCRv3"), QLatin1String("PP-OCRv4"));
        const QString twin = toLocalPath(newer);
        if (QFileInfo(twin).isFile())
            return twin;
    }
    return QString();
}
