#include "app/cut/cut_file_check.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
bool isTva(const QString &path)
{
    return path.right(3).toLower() == QLatin1String("tva");
}
} // namespace

void CutFileCheck::tell(const QString &text) const
{
    if (m_tell)
        m_tell(text + QStringLiteral(" \n"));
}

bool CutFileCheck::sizeAccepted(const QString &path) const
{
    const qint64 size = QFileInfo(path).size();
    if (size <= kMaxBytes)
        return true;
    qCritical() << "SpoolsmithApp::setCutFile" << path << "refused:" << size << "bytes, more than 256 MB";
    tell(QCoreApplication::translate("CutDocument", "切割文件过大（超过256MB）"));
    return false;
}

std::optional<QByteArray> CutFileCheck::read(const QString &path) const
{
    std::optional<QByteArray> bytes = readBytes(path);
    if (bytes && !contentAccepted(path, *bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> CutFileCheck::readBytes(const QString &path) const
{
    if (!sizeAccepted(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused, cannot open:" << file.errorString();
        tell(QCoreApplication::translate("CutDocument", "切割文件无法打开（%1），未打开").arg(file.errorString()));
        return std::nullopt;
    }
    // Read in pieces: a file that grew past the bound since it was measured
    // (a pipe has no size) is refused all the same.
    QByteArray bytes;
    if (!file.isSequential())
        bytes = file.readAll();
    while (file.isSequential() && bytes.size() <= kMaxBytes) {
        const QByteArray piece = file.read(1 << 20);
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (bytes.size() > kMaxBytes) {
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: more than 256 MB";
        tell(QCoreApplication::translate("CutDocument", "切割文件过大（超过256MB）"));
        return std::nullopt;
    }
    return bytes;
}

bool CutFileCheck::pageAccepted(const QString &path, const CutPageLimit::FilePage &page) const
{
    if (!page.unreadable.isEmpty()) {
        refuseUnreadable(path, page.unreadable, page.uncut);
        return false;
    }
    if (!page.pageMm || CutPageLimit::accepts(*page.pageMm))
        return true;
    refusePage(path, *page.pageMm);
    return false;
}

void CutFileCheck::refusePage(const QString &path, const QSizeF &pageMm) const
{
    qCritical() << "SpoolsmithApp::setCutFile" << path << "refused:" << CutPageLimit::reason(pageMm);
    tell(QCoreApplication::translate("CutDocument", "切割页面过大（%1 x %2 mm，最大 %3 平方米），未打开")
             .arg(pageMm.width(), 0, 'f', 0)
             .arg(pageMm.height(), 0, 'f', 0)
             .arg(CutPageLimit::largestAreaM2(), 0, 'f', 1));
}

void CutFileCheck::refuseUnreadable(const QString &path, const QString &why, const QString &instruction) const
{
    qCritical() << "SpoolsmithApp::setCutFile" << path << "refused, no cut file:" << why;
    if (!instruction.isEmpty()) {
        tell(QCoreApplication::translate("CutDocument", "切割文件含本机无法切割的指令 %1，未打开").arg(instruction));
        return;
    }
    // Its name says which format it was read as.
    const QString what = isTva(path) ? QCoreApplication::translate("CutDocument", "不是完整有效的TVA模板") : QCoreApplication::translate("CutDocument", "内容不是HPGL切割数据");
    tell(QCoreApplication::translate("CutDocument", "不是本机能读取的切割文件（%1），未打开").arg(what));
}
