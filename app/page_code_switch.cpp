// Switching the cut file by the page code read from a printed page. Runs on
// the task thread; the scene itself is only ever touched on the GUI thread.
#include "spoolsmith_app.h"

#include "gscene.h"
#include "trv610plus.h"

#include <QDebug>
#include <QFile>
#include <QThread>

void SpoolsmithApp::setPageCodeLookup(PageCodeLookup lookup)
{
    QMutexLocker lock(&m_cutLock);
    m_pageCodeLookup = std::move(lookup);
}

QString SpoolsmithApp::cutWorkCutFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_cutWork.cutFile;
}

void SpoolsmithApp::setSwitchCutFile(bool on)
{
    m_switchCutFile.storeRelaxed(on ? 1 : 0);
    if (on) {
        m_pageCode.storeRelaxed(0); // the scan of mark 1 stores the code it reads
        return;
    }

    const quint32 code = m_pageCode.loadRelaxed();
    PageCodeLookup lookup;
    {
        QMutexLocker lock(&m_cutLock);
        lookup = m_pageCodeLookup;
    }
    if (code != 0) {
        const PageCodeRecords found = lookup ? lookup(code) : PageCodeRecords();
        if (found.taskFound) {
            qInfo() << "SpoolsmithApp::setSwitchCutFile" << "识别切割内容" << code;
            if (!found.workFound)
                qCritical() << "SpoolsmithApp::setSwitchCutFile" << found.cutFile << "is not exist";
        }
        PageCodeRecords work = found;
        if (!found.taskFound || !found.workFound) {
            // Keep no record of an earlier page: its counts must not grow
            // with pages that belong elsewhere.
            work = PageCodeRecords();
            m_pageCode.storeRelaxed(0);
        }
        if (!QFile::exists(work.cutFile)) {
            const QString dir = Config::instance() ? Config::instance()->getProperty(Config::CPT_Plt_Dir).toString()
                                                   : QString();
            work.cutFile = dir + QLatin1Char('/') + QString::number(code, 16) + QStringLiteral(".plt");
        }
        QMutexLocker lock(&m_cutLock);
        m_cutWork = work;
    }

    QString target;
    {
        QMutexLocker lock(&m_cutLock);
        if (m_cutWork.cutFile != m_cutFile && QFile::exists(m_cutWork.cutFile))
            target = m_cutWork.cutFile;
        else if (!m_cutFile.isEmpty() && m_cutFile != m_sceneFile)
            target = m_cutFile;
    }
    if (!target.isEmpty()) {
        qInfo() << "SpoolsmithApp::setSwitchCutFile" << target;
        openSceneBlocking(target);
    }

    bool empty = true;
    QMetaObject::invokeMethod(
        this, [this, &empty] { empty = m_cutScene->gItemAll().isEmpty(); },
        QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
    if (empty) {
        if (!QMetaObject::invokeMethod(this, "stopTask", Qt::DirectConnection, Q_ARG(bool, false)))
            qCritical() << "SpoolsmithApp::setSwitchCutFile" << "no stopTask to end the job";
        if (TRV610Plus *device = TRV610Plus::instance())
            device->setErrorMessage(QStringLiteral("切割文件未打开或未识别到二维码"));
    }
}
