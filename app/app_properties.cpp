// The job properties of SpoolsmithApp that QML reads and writes: copies,
// check-image geometry, collect length, the print scene's cut file, language.
// Written from the task, collect and inspection threads too: each value is
// atomic or locked, and its signal reaches QML queued.
#include "app/spoolsmith_app.h"

#include "platform/scene/gscene.h"

#include <QDebug>
#include <QTranslator>
#include <QtMath>

namespace {
// Compares, stores and tells whether it changed.
bool storeChanged(std::atomic<int> &member, int value)
{
    return member.exchange(value) != value;
}
} // namespace

void SpoolsmithApp::setCutTaskCopies(int copies)
{
    if (storeChanged(m_cutTaskCopies, copies))
        emit cutTaskCopiesChanged();
}

void SpoolsmithApp::setCutCopies(int copies)
{
    if (storeChanged(m_cutCopies, copies))
        emit cutCopiesChanged();
}

void SpoolsmithApp::setPrintTaskCopies(int copies)
{
    if (storeChanged(m_printTaskCopies, copies))
        emit printTaskCopiesChanged();
}

void SpoolsmithApp::setPrintCopies(int copies)
{
    if (storeChanged(m_printCopies, copies))
        emit printCopiesChanged();
}

void SpoolsmithApp::setCheckedCopies(int copies)
{
    if (storeChanged(m_checkedCopies, copies))
        emit checkedCopiesChanged();
}

void SpoolsmithApp::setImageWidth(int width)
{
    if (storeChanged(m_imageWidth, width))
        emit imageWidthChanged();
}

void SpoolsmithApp::setImageHeight(int height)
{
    if (storeChanged(m_imageHeight, height))
        emit imageHeightChanged();
}

void SpoolsmithApp::setSegmentX(int x)
{
    if (storeChanged(m_segmentX, x))
        emit segmentXChanged();
}

void SpoolsmithApp::setCheckPaperTop(int top)
{
    if (storeChanged(m_checkPaperTop, top))
        emit checkPaperTopChanged();
}

void SpoolsmithApp::setCheckPaperBottom(int bottom)
{
    if (storeChanged(m_checkPaperBottom, bottom))
        emit checkPaperBottomChanged();
}

double SpoolsmithApp::collectLen() const
{
    QMutexLocker lock(&m_collectLock);
    return m_collectLen;
}

void SpoolsmithApp::setCollectLen(double length)
{
    {
        QMutexLocker lock(&m_collectLock);
        if (qFuzzyCompare(float(m_collectLen), float(length)))
            return;
        qInfo() << "SpoolsmithApp::setCollectLen" << m_collectLen << "->" << length;
        m_collectLen = length;
    }
    emit collectLenChanged();
}

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

QImage SpoolsmithApp::printPreview() const
{
    QMutexLocker lock(&m_frameLock);
    return m_printPreview;
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
