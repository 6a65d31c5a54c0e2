// The cut file and the cut scene of SpoolsmithApp: opening, reversed
// cutting, the preview file, the label mask and the mark geometry.
#include "app/spoolsmith_app.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "app/graphics_view.h"
#include "platform/scene/gscene.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QThread>

void SpoolsmithApp::initCutScene()
{
    m_cutView = new GraphicsView;
    connect(this, &SpoolsmithApp::openScene, this, &SpoolsmithApp::onOpenScene);
    m_cutScene = new GScene;
    m_cutScene->setGSceneFlag(2, true);
    m_cutScene->setGSceneFlag(1, true);
    m_cutScene->setGSceneFlag(4, true);
    // The task thread builds plot data from the scene while a job runs.
    m_cutScene->setEditGuard([this] { return taskStatus() == 2; });
    m_cutView->setScene(m_cutScene);
}

QString SpoolsmithApp::cutShowFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_cutShowFile;
}

void SpoolsmithApp::setCutShowFile(const QString &path)
{
    {
        QMutexLocker lock(&m_cutLock);
        m_cutShowFile = path;
    }
    emit cutShowFileChanged();
}

QString SpoolsmithApp::cutFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_cutFile;
}

QString SpoolsmithApp::sceneFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_sceneFile;
}

QSizeF SpoolsmithApp::cutPageSize() const
{
    QMutexLocker lock(&m_cutLock);
    return m_cutPageSize;
}

cv::Mat SpoolsmithApp::inspectionTemplate() const
{
    QMutexLocker lock(&m_cutLock);
    return m_inspectionTemplate;
}

void SpoolsmithApp::setCutFile(const QString &path)
{
    if (!m_cutScene->canEdit()) {
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: a job is running";
        return;
    }
    if (path.right(3).toLower() == QLatin1String("tva")) {
        openTvaCutFile(path);
        return;
    }
    {
        QMutexLocker lock(&m_cutLock);
        m_cutFile = path;
    }
    emit openScene(path);
    emit cutFileChanged();
}

void SpoolsmithApp::openTvaCutFile(const QString &path)
{
    if (!QFile::exists(path))
        return;
    if (!m_cutScene->canEdit()) {
        qCritical() << "SpoolsmithApp::openTvaCutFile" << path << "refused: a job is running";
        return;
    }
    emit openScene(path);
    {
        QMutexLocker lock(&m_cutLock);
        m_saveFile = appPath() + QStringLiteral("/tmp.plt");
        m_cutFile = m_cutShowFile;
    }
    emit cutFileChanged();
}

void SpoolsmithApp::onOpenScene(const QString &path)
{
    qInfo() << "SpoolsmithApp::onOpenScene" << path;
    {
        QMutexLocker lock(&m_cutLock);
        m_sceneFile = path;
    }
    if (!m_cutScene->openFile(path, false))
        qCritical() << "SpoolsmithApp::onOpenScene" << path << m_cutScene->errorString();

    GMarkItem *mark = m_cutScene->page()->markItem();
    Config *config = Config::instance();
    if (config && config->getProperty(Config::CPT_Cut_Inverse).toBool() && mark) {
        const QMarginsF m = GPathProcess::mm2Point(mark->margins());
        const QPointF c = mark->srcRect().center() - QPointF(m.left(), m.top());
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotateRadians(3.141592653589793, Qt::ZAxis);
        t.translate(-c.x(), -c.y());
        t.translate(-(m.left() + m.right()), -(m.top() + m.bottom()));
        QList<QGraphicsItem *> items;
        m_cutScene->exportCutItems(items, false, false, false);
        for (QGraphicsItem *item : items)
            item->setTransform(t, true);
        generatePltData(QTransform());
    }

    m_cutView->fitPage();
    {
        QMutexLocker lock(&m_cutLock);
        m_cutPageSize = m_cutScene->page()->layout().pageSize().definitionSize();
    }
    const QString show = appPath() + QStringLiteral("/plt.plt");
    m_cutScene->saveCutFile(show);
    setCutShowFile(show);
    loadTemplate();
}

QString SpoolsmithApp::saveFile() const
{
    QMutexLocker lock(&m_cutLock);
    return m_saveFile;
}

void SpoolsmithApp::setSaveFile(const QString &path)
{
    {
        QMutexLocker lock(&m_cutLock);
        m_saveFile = path;
    }
    emit saveFileChanged();
    m_cutScene->exportFile(path, m_cutScene->gSelectedItems());
}

QImage SpoolsmithApp::renderCutMask() const
{
    const QRectF r = m_cutScene->page()->layout().fullRect(QPageLayout::Point);
    const QSize size = (r.size() * 5.0).toSize();
    if (size.isEmpty())
        return QImage();
    QImage img(size, QImage::Format_RGB888);
    img.fill(Qt::white);
    img.setDotsPerMeterX(14175);
    img.setDotsPerMeterY(14175);
    QPainter painter(&img);
    painter.setTransform(QTransform::fromScale(5.0, 5.0));
    QPainterPath all;
    all.setFillRule(Qt::OddEvenFill);
    QList<QGraphicsItem *> items;
    m_cutScene->exportCutItems(items, false, false, false);
    for (QGraphicsItem *item : items) {
        if (item->type() != GPathItem::Type)
            continue;
        const auto *pathItem = static_cast<GPathItem *>(item);
        QPainterPath p = pathItem->path();
        if (p.elementCount() < 2)
            continue;
        p.lineTo(p.elementAt(0).x, p.elementAt(p.elementCount() - 1).y);
        p.closeSubpath();
        all.addPath(pathItem->mapToScene(p));
    }
    painter.fillPath(all, Qt::black);
    return img;
}

bool SpoolsmithApp::loadTemplate()
{
    if (!m_cutScene) {
        qCritical() << "SpoolsmithApp::loadTemplate" << "m_cutScene is NULL";
        return false;
    }
    const QImage img = renderCutMask();
    if (img.isNull()) {
        qCritical() << "SpoolsmithApp::loadTemplate" << "m_cutScene->bkImage() is NULL";
        return false;
    }
    if (!img.save(QStringLiteral("bk.png")))
        qCritical() << "SpoolsmithApp::loadTemplate" << "cannot write bk.png";
    const cv::Mat view(img.height(), img.width(), CV_8UC3, const_cast<uchar *>(img.constBits()),
                       size_t(img.bytesPerLine()));
    {
        QMutexLocker lock(&m_cutLock);
        m_inspectionTemplate = view.clone();
    }
    // A fresh check-camera picture against the new template belongs to the
    // capture hand-shake; it asks for one when it is wired in.
    return true;
}

QList<QPointF> SpoolsmithApp::currentPageMarkPoint(bool scan)
{
    QList<QPointF> points;
    const GMarkItem *mark = m_cutScene->page()->markItem();
    if (m_cutScene->gItemAll().isEmpty() || !mark)
        return points;
    const QMarginsF m = mark->margins();
    QRectF r = m_cutScene->page()->layout().fullRect(QPageLayout::Millimeter)
                   .adjusted(m.left(), m.top(), m.right(), m.bottom());
    if (scan) {
        if (mark->markType() == 0)
            return points;
        const double w = r.width();
        double h = r.height();
        points << GPathProcess::mm2Hpgl(QPointF(0, 0)) << GPathProcess::mm2Hpgl(QPointF(0, w));
        if (mark->markType() == 4) {
            const Config *config = Config::instance();
            h = m_cutScene->page()->layout().fullRect(QPageLayout::Millimeter).height()
                + (config ? config->pageSpacing() : 0.0);
        }
        points << GPathProcess::mm2Hpgl(QPointF(h, w)) << GPathProcess::mm2Hpgl(QPointF(h, 0));
        return points;
    }
    r = GPathProcess::mm2Point(r);
    const double w = r.width();
    const double h = r.height();
    points << QPointF(0, 0) << QPointF(0, w) << QPointF(h, w) << QPointF(h, 0);
    return points;
}

int SpoolsmithApp::pageMarkType()
{
    if (m_cutScene->gItemAll().isEmpty())
        return 4;
    const GMarkItem *mark = m_cutScene->page()->markItem();
    return mark ? mark->markType() : -1;
}

QVariant SpoolsmithApp::getCutGraphicsView()
{
    return QVariant::fromValue(static_cast<QWidget *>(m_cutView));
}

void SpoolsmithApp::openSceneBlocking(const QString &path)
{
    if (QThread::currentThread() == thread())
        onOpenScene(path);
    else
        QMetaObject::invokeMethod(this, [this, path] { onOpenScene(path); }, Qt::BlockingQueuedConnection);
}
