// The mark steps of a job: page search, mark scans and the page transform.
#include "machine/jobs/task_worker.h"

#include "settings/config.h"
#include "platform/scene/gpath_process.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"
#include "vision/mark_geometry.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPolygonF>
#include <QThread>

#include <cmath>

QPointF TaskWorker::markOffset(const QPointF &p, double diameter) const
{
    const Config *config = this->config();
    if (!config)
        return {};
    return markOffsetFromCentre(p, diameter, config->markCameraWidth(), config->markCameraHeight(),
                                config->markSize());
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
        m_scannedSizes.append(double(a->lastMarkDiameter()));
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
        sleepMs(100);
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
        if (moveOnce(QPointF(500, 0), [this] { return m_device->wDevicePoint(500, 0); })) {
            if (a) {
                a->clearFilm(0);
                a->addCutLength(12.5);
            }
            m_searchFeed += 12.5;
            curStep -= 2;
            sleepMs(100);
        }
    } else if (config) {
        filmBlocked = config->filmRollerLimit() >= m_device->filmRoller() - 12.5;
    }
    // A whole page fed without a mark: the search starts a new page and the
    // printer may put one more there. Without a page height nothing wraps, or
    // every feed would print.
    const double pageHeight = a ? a->cutPageSize().height() : 0.0;
    if (pageHeight > 0.0 && m_searchFeed >= pageHeight)
        m_searchFeed = 0.0;
    else if (!filmBlocked)
        return;
    printIfRollerLow();
    // A print that failed here ends the job's printing as at its print step:
    // with no page owed, no more blank web is fed looking for one.
    endIfPrintingOver(curStep, "TaskWorker::taskFeedSearch");
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
    QList<QPointF> offsets, scanned, designPoints;
    for (int i = 0; i < n; ++i) {
        const QPointF o = markOffset(m_scannedPoints.at(i), m_scannedSizes.at(i));
        offsets << o;
        scanned << GPathProcess::hpgl2Point(measuredMarkPoint(m_markPoints.at(i), o));
    }
    for (const QPointF &d : design)
        designPoints << GPathProcess::hpgl2Point(d);

    // Only four marks fix a projective mapping; otherwise the page is cut as
    // designed.
    const QTransform t = pageTransform(designPoints, scanned);
    a->generatePltData(t);
    ++curStep;

    const PageFitCheck fit = checkPageFit(t, a->cutPageSize());
    const bool within = fit.withinLimits;
    QList<double> sizes = m_scannedSizes;
    if (within) {
        qInfo() << "TaskWorker::taskScanOK" << "dt:" << offsets << "mark size:" << sizes;
        qInfo() << "TaskWorker::taskScanOK" << "scaned:" << scanned;
        qInfo() << "TaskWorker::taskScanOK" << "currentPageMarkPoint:" << designPoints;
        qInfo() << "TaskWorker::taskScanOK" << "angle:" << fit.angle << "scaleX:" << fit.scaleX << "scaleY:" << fit.scaleY
                << "dtX(mm):" << fit.dtX << "dtY(mm):" << fit.dtY;
    } else {
        qCritical() << "TaskWorker::taskScanOK" << "dt:" << offsets << "mark size:" << sizes;
        qCritical() << "TaskWorker::taskScanOK" << "scaned:" << scanned;
        qCritical() << "TaskWorker::taskScanOK" << "currentPageMarkPoint:" << designPoints;
        qCritical() << "TaskWorker::taskScanOK" << "angle:" << fit.angle << "scaleX:" << fit.scaleX << "scaleY:" << fit.scaleY
                    << "dtX(mm):" << fit.dtX << "dtY(mm):" << fit.dtY;
    }

    // The camera stands over the first mark again: check it once.
    int local = 0;
    const QList<QPointF> points = m_scannedPoints;
    const QList<double> pointSizes = m_scannedSizes;
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
