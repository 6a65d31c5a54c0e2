// The job properties of SpoolsmithApp that QML reads and writes: copies,
// check-image geometry, collect length, the print scene's cut file, language.
// Written from the task, collect and inspection threads too: each value is
// atomic or locked, and its signal reaches QML queued.
#include "app/spoolsmith_app.h"

#include "platform/scene/gscene.h"

#include <QDebug>
#include <QTranslator>
#include <QtMath>

QString SpoolsmithApp::printTip() const
{
    QMutexLocker lock(&m_printLock);
    return m_printTip;
}

void SpoolsmithApp::setPrintTip(const QString &tip)
{
    {
        QMutexLocker lock(&m_printLock);
        m_printTip = tip;
    }
    emit printTipChanged();
}

QString SpoolsmithApp::printCutFile() const
{
    QMutexLocker lock(&m_printLock);
    return m_printCutFile;
}

void SpoolsmithApp::setPrintCutFile(const QString &path)
{
    {
        QMutexLocker lock(&m_printLock);
        if (m_printCutFile == path)
            return;
        m_printCutFile = path;
    }
    // The print scene places the page code; it belongs to the GUI thread.
    if (m_printScene) {
        if (path.isEmpty())
            m_printScene->gClear();
        else if (!m_printScene->openFile(path, false))
            qCritical() << "SpoolsmithApp::setPrintCutFile" << path << m_printScene->errorString();
    }
    setWorkRecordCutFile(path);
    emit printCutFileChanged();
}

QSizeF SpoolsmithApp::printPageSize() const
{
    QMutexLocker lock(&m_printLock);
    return m_printPageSize;
}

bool SpoolsmithApp::setLanguage(int language)
{
    // Takes effect at the next start; the running interface keeps its texts.
    if (!m_translator)
        m_translator = new QTranslator(this);
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (!m_translator->load(QStringLiteral("appSpoolsmith2024_en.qm"), dir))
        qWarning() << "SpoolsmithApp::setLanguage" << "no translation in" << dir;
    if (language == 0)
        return false;
    return QCoreApplication::installTranslator(m_translator);
}
