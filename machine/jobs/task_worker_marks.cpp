// The mark steps of a job: page search, mark scans and the page transform.
#include "machine/jobs/task_worker.h"

#include "settings/config.h"
#include "platform/scene/gpath_process.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPolygonF>
#include <QThread>
#include <QtMath>

#include <cmath>

QPointF TaskWorker::markOffset(const QPointF &p, int diameter) const
{
    const Config *config = this->config();
    if (!config || diameter <= 0)
        return {};
    const double cw = config->markCameraWidth() / 2.0;
    const double ch = config->markCameraHeight() / 2.0;
    const double k = config->markSize() / double(diameter) * 40.0;
    return {k * (ch - p.y()), k * (cw - p.x())};
}

void TaskWorker::taskScanMark(int &curStep)
{
    TaskApp *a = app();
    if (!a)
        return;
    ++m_scanAttempts;
    a->resetLastMark();
    const bool captured = a->doCapture(1);
    const QPointF p = a->lastMarkPosition();
    if (captured && !p.isNull()) {
        m_scanAttempts = 0;
        m_scannedPoints.append(p);
        m_scannedSizes.append(int(a->lastMarkDiameter()));
        ++curStep;
        return;
    }
    if (m_scanAttempts > 5) {
        m_device->setErrorMessage(QCoreApplication::translate("TRV610Plus", "标记点扫描失败！"));
        endJob(curStep);
    }
}

void TaskWorker::taskProbeMark(int &curStep)
{
    TaskApp *a = app();
    if (!a)
        return;
    a->resetLastMark();
    if (a->doCapture(1) && !a->lastMarkPosition().isNull()) {
        curStep += 2;
        QThread::msleep(100);
        m_searchFeed = 0.0;
    } else {
        ++curStep;
    }
}

void TaskWorker::taskFeedSearch(int &curStep)
{
    TaskApp *a = app();
    const Config *config = this->config();
    bool filmBlocked = false;
    if (canFeed(12.5)) {
        if (m_device->wDevicePoint(500, 0)) {
            if (a) {
                a->clearFilm(0);
                a->addCutLength(12.5);
            }
            m_searchFeed += 12.5;
            curStep -= 2;
            QThread::msleep(100);
        }
        return;
    }
    if (config)
        filmBlocked = config->filmRollerLimit() >= m_device->filmRoller() - 12.5;
    const double pageHeight = a ? a->cutPageSize().height() : 0.0;
    if (m_searchFeed >= pageHeight)
        m_searchFeed = 0.0;
    else if (!filmBlocked)
        return;
    printIfRollerLow();
}

void TaskWorker::taskMarkSearch(int &curStep)
{
    TaskApp *a = app();
    if (a)
        a->setSwitchCutFile(true);
    m_centringMoves = 0;
    const bool found = runSubTask(TK_CentreMark);
    if (a)
        a->setSwitchCutFile(false);
    if (found)
        ++curStep;
    else
        endJob(curStep);
}

void TaskWorker::taskMoveToImageCenter(int &curStep)
{
    if (m_scannedPoints.isEmpty()) {
        curStep -= 1; // nothing scanned yet: scan again
        return;
    }
    const QPointF o = markOffset(m_scannedPoints.last(), m_scannedSizes.last());
    if (m_centringMoves > 5) {
        m_device->setErrorMessage(QCoreApplication::translate("TRV610Plus", "标记点移动到中心失败！"));
        endJob(curStep);
        return;
    }
    if (std::abs(o.x()) < 40 && std::abs(o.y()) < 40) {
        qDebug() << "TaskWorker::taskMoveToImageCenter" << o;
        m_centringMoves = 0;
        ++curStep;
        return;
    }
    qInfo() << "TaskWorker::taskMoveToImageCenter" << o;
    if (moveBy(o)) {
        ++m_centringMoves;
        curStep -= 2;
    }
}

void TaskWorker::taskFindPage(int &curStep)
{
    TaskApp *a = app();
    if (!a)
        return;
    if (a->cutSceneHasItems() && m_markPoints.size() < 2) {
        ++curStep;
        return;
    }
    a->clearFilm(-1);
    const bool found = runSubTask(TK_PageSearch);
    // The search may have switched the cut file by the page code.
    m_markPoints = a->currentPageMarkPoint();
    if (found)
        ++curStep;
    else
        endJob(curStep);
}

void TaskWorker::taskLocateFirstMark(int &curStep)
{
    TaskApp *a = app();
    if (!a)
        return;
    if (!a->cutSceneHasItems()) {
        m_device->setErrorMessage(QCoreApplication::translate("TRV610Plus", "切割文件未打开或未识别到二维码"));
        endJob(curStep);
        return;
    }
    if (m_markPoints.size() < 2) {
        ++curStep;
        return;
    }
    a->setMarkIndex(1);
    if (runSubTask(TK_ScanMarks)) {
        a->setMarkIndex(0);
        ++curStep;
    } else {
        endJob(curStep);
    }
}

void TaskWorker::taskMoveToNextMark(int &curStep)
{
    TaskApp *a = app();
    const int n = int(m_markPoints.size());
    const int i = a ? a->markIndex() : 0;
    QPointF from, to;
    if (i == n && n > 0) {
        from = m_markPoints.at(n - 1);
        to = m_markPoints.at(0);
    } else if (i >= 1 && i < n) {
        from = m_markPoints.at(i - 1);
        to = m_markPoints.at(i);
    } else {
        qCritical() << "TaskWorker::taskMoveToNextMark" << "mark index out of range" << i << n;
        endJob(curStep);
        return;
    }
    if (!moveBy(to - from))
        return;
    ++curStep;
    if (i < n) {
        a->setMarkIndex(i + 1);
        curStep -= 3;
    }
}

void TaskWorker::taskScanOK(int &curStep)
{
    TaskApp *a = app();
    if (!a)
        return;
    if (m_markPoints.size() < 2) {
        ++curStep;
        return;
    }
    a->setMarkIndex(0);
    a->clearFilm(0);
    const QList<QPointF> design = a->currentPageMarkPoint();
    const int n = int(qMin(m_markPoints.size(), m_scannedPoints.size()));
    QPolygonF offsets, scanned, designPoly;
    for (int i = 0; i < n; ++i) {
        const QPointF o = markOffset(m_scannedPoints.at(i), m_scannedSizes.at(i));
        offsets << o;
        scanned << GPathProcess::hpgl2Point(m_markPoints.at(i) + o);
    }
    for (const QPointF &d : design)
        designPoly << GPathProcess::hpgl2Point(d);

    QTransform t;
    // Only four marks fix a projective mapping; otherwise the page is cut as
    // designed.
    if (designPoly.size() == 4 && scanned.size() == 4 && !QTransform::quadToQuad(designPoly, scanned, t))
        t = QTransform();
    a->generatePltData(t);
    ++curStep;

    const QTransform inv = t.inverted();
    const double angle = std::atan2(inv.m21(), inv.m22()) * 180.0 / M_PI;
    QTransform upright = t;
    upright.rotate(-angle, Qt::ZAxis);
    const double scaleX = upright.m11();
    const double scaleY = upright.m22();
    const QSizeF page = a->cutPageSize();
    const double dtX = page.width() * (scaleX - 1.0);
    const double dtY = page.height() * (scaleY - 1.0);
    const bool within = std::abs(angle) <= 3.0 && std::abs(dtX) <= 5.0 && std::abs(dtY) <= 5.0;
    QList<int> sizes = m_scannedSizes;
    if (within) {
        qInfo() << "TaskWorker::taskScanOK" << "dt:" << offsets << "mark size:" << sizes;
        qInfo() << "TaskWorker::taskScanOK" << "scaned:" << scanned;
        qInfo() << "TaskWorker::taskScanOK" << "currentPageMarkPoint:" << designPoly;
        qInfo() << "TaskWorker::taskScanOK" << "angle:" << angle << "scaleX:" << scaleX << "scaleY:" << scaleY
                << "dtX(mm):" << dtX << "dtY(mm):" << dtY;
    } else {
        qCritical() << "TaskWorker::taskScanOK" << "dt:" << offsets << "mark size:" << sizes;
        qCritical() << "TaskWorker::taskScanOK" << "scaned:" << scanned;
        qCritical() << "TaskWorker::taskScanOK" << "currentPageMarkPoint:" << designPoly;
        qCritical() << "TaskWorker::taskScanOK" << "angle:" << angle << "scaleX:" << scaleX << "scaleY:" << scaleY
                    << "dtX(mm):" << dtX << "dtY(mm):" << dtY;
    }

    // The camera stands over the first mark again: check it once.
    int local = 0;
    const QList<QPointF> points = m_scannedPoints;
    const QList<int> pointSizes = m_scannedSizes;
    taskScanMark(local);
    if (local == 1 && !m_scannedPoints.isEmpty()) {
        const QPointF o = markOffset(m_scannedPoints.last(), m_scannedSizes.last());
        if (!o.isNull())
            qWarning() << "TaskWorker::taskScanOK" << "scan finished, the first point toCenter" << o;
    }
    m_scannedPoints = points;
    m_scannedSizes = pointSizes;
    a->clearFilm(0);
}
