// Switching the cut file by the page code read from a printed page. Runs on
// the task thread; the scene itself is only ever touched on the GUI thread.
#include "app/spoolsmith_app.h"

#include "platform/scene/gscene.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QFile>
#include <QThread>

QString SpoolsmithApp::cutWorkCutFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_pageCutFile;
}

void SpoolsmithApp::setSwitchCutFile(bool on)
{
    m_switchCutFile.storeRelaxed(on ? 1 : 0);
    // While on, the mark scans read the page code and store it here.
    setPageCodeSearch(on);
    if (on) {
        setPageCode(0);
        return;
    }

    const quint32 code = pageCode();
    if (code != 0) {
        // A code the store does not know leaves no record behind, so no count
        // of this page lands on an earlier page's record.
        const bool known = lookUpPageCode(code);
        QString cutFile = cutWorkRecord().cutFile;
        if (!known || cutFile.isEmpty())
            setPageCode(0);
        if (!QFile::exists(cutFile)) {
            const QString dir = Config::instance() ? Config::instance()->getProperty(Config::CPT_Plt_Dir).toString()
                                                   : QString();
            cutFile = dir + QLatin1Char('/') + QString::number(code, 16) + QStringLiteral(".plt");
        }
        QMutexLocker lock(&m_cutLock);
        m_pageCutFile = cutFile;
    }

    QString target;
    {
        QMutexLocker lock(&m_cutLock);
        if (m_pageCutFile != m_cutFile && QFile::exists(m_pageCutFile))
            target = m_pageCutFile;
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
