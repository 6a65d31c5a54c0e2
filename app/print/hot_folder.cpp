#include "app/print/hot_folder.h"

#include "app/task/task_counters.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

HotFolder::HotFolder(const PrintParts &parts, Clock clock) : m_parts(parts), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

bool HotFolder::copyPages(const QString &folder, const QString &fileIn, int pages, double pageHeightMm,
                          const std::function<bool()> &stopped)
{
    QString file = fileIn;
    bool all = true;
    for (int i = 0; i < pages; ++i) {
        // The end of the data ends the copies; no copy failed for it.
        if (!takeNextPageFile(m_parts, file, "SpoolsmithApp::printPdf"))
            break;
        if (stopped && stopped()) {
            qInfo() << "SpoolsmithApp::printPdf" << "print stopped," << pages - i << "pages not copied";
            break;
        }
        const int k = m_parts.counters.printCopies() + 1;
        // Wall-clock milliseconds: the processor orders its input by them.
        const QString target = QStringLiteral("%1/%2_%3_%4")
                                   .arg(folder)
                                   .arg(k)
                                   .arg(m_clock())
                                   .arg(QFileInfo(file).fileName());
        // An existing target is replaced, as the processor expects a fresh file.
        if (QFileInfo::exists(target))
            QFile::remove(target);
        QFile source(file);
        if (!source.copy(target)) {
            qCritical() << "SpoolsmithApp::printPdf" << "CopyFileA failed" << int(source.error())
                        << source.errorString() << file << "->" << target;
            all = false;
            continue;
        }
        countPrintedPage(m_parts, 1, k, pageHeightMm);
        rowPrinted(m_parts);
    }
    return all;
}
