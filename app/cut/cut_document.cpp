#include "app/cut/cut_document.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "app/graphics_view.h"
#include "platform/scene/gscene.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QThread>

namespace {
QString appPath()
{
    return QCoreApplication::applicationDirPath();
}
} // namespace

CutDocument::CutDocument(AppServices services, Hooks hooks, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_hooks(std::move(hooks))
{
    // The view and the scene live until the process ends, like the QML
    // that shows them.
    m_view = new GraphicsView;
    connect(this, &CutDocument::openScene, this, &CutDocument::openInScene);
    m_scene = new GScene;
    m_scene->setGSceneFlag(2, true);
    m_scene->setGSceneFlag(1, true);
    m_scene->setGSceneFlag(4, true);
    // The task thread builds plot data from the scene while a job runs.
    m_scene->setEditGuard([this] { return m_hooks.taskStatus() == 2; });
    m_view->setScene(m_scene);
}

QString CutDocument::cutShowFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cutShowFile;
}

void CutDocument::setCutShowFile(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cutShowFile = path;
    }
    emit cutShowFileChanged();
}

QString CutDocument::cutFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cutFile;
}

QString CutDocument::sceneFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sceneFile;
}

QSizeF CutDocument::pageSize() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pageSize;
}

cv::Mat CutDocument::inspectionTemplate() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_inspectionTemplate;
}

QList<QPair<double, double>> CutDocument::rowSegments() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_rowSegments;
}

QList<QPair<double, double>> CutDocument::colSegments() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_colSegments;
}

void CutDocument::setCutFile(const QString &path)
{
    if (!m_scene->canEdit()) {
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: a job is running";
        return;
    }
    if (path.right(3).toLower() == QLatin1String("tva")) {
        openTvaCutFile(path);
        if (m_hooks.printFile && m_hooks.setPrintFile && m_hooks.printFile().isEmpty())
            m_hooks.setPrintFile(path);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cutFile = path;
    }
    emit openScene(path);
    emit cutFileChanged();
}

void CutDocument::openTvaCutFile(const QString &path)
{
    if (!QFile::exists(path))
        return;
    if (!m_scene->canEdit()) {
        qCritical() << "SpoolsmithApp::openTvaCutFile" << path << "refused: a job is running";
        return;
    }
    emit openScene(path);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_saveFile = appPath() + QStringLiteral("/tmp.plt");
        m_cutFile = m_cutShowFile;
    }
    emit cutFileChanged();
}

void CutDocument::openInScene(const QString &path)
{
    qInfo() << "SpoolsmithApp::onOpenScene" << path;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sceneFile = path;
    }
    if (!m_scene->openFile(path, false))
        qCritical() << "SpoolsmithApp::onOpenScene" << path << m_scene->errorString();

    GMarkItem *mark = m_scene->page()->markItem();
    Config *config = m_services.config();
    if (config && config->getProperty(Config::CPT_Cut_Inverse).toBool() && mark) {
        const QMarginsF m = GPathProcess::mm2Point(mark->margins());
        const QPointF c = mark->srcRect().center() - QPointF(m.left(), m.top());
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotateRadians(3.141592653589793, Qt::ZAxis);
        t.translate(-c.x(), -c.y());
        t.translate(-(m.left() + m.right()), -(m.top() + m.bottom()));
        QList<QGraphicsItem *> items;
        m_scene->exportCutItems(items, false, false, false);
        for (QGraphicsItem *item : items)
            item->setTransform(t, true);
        m_hooks.rebuildPlotData();
    }

    m_view->fitPage();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pageSize = m_scene->page()->layout().pageSize().definitionSize();
    }
    const QString show = appPath() + QStringLiteral("/plt.plt");
    m_scene->saveCutFile(show);
    setCutShowFile(show);
    loadTemplate();
}

QString CutDocument::saveFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_saveFile;
}

void CutDocument::setSaveFile(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_saveFile = path;
    }
    emit saveFileChanged();
    m_scene->exportFile(path, m_scene->gSelectedItems());
}

QImage CutDocument::renderCutMask() const
{
    const QRectF r = m_scene->page()->layout().fullRect(QPageLayout::Point);
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
    m_scene->exportCutItems(items, false, false, false);
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

bool CutDocument::loadTemplate()
{
    if (!m_scene) {
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
        std::lock_guard<std::mutex> lock(m_lock);
        m_inspectionTemplate = view.clone();
        m_rowSegments = m_scene->rowSegments();
        m_colSegments = m_scene->colSegments();
    }
    // A fresh check-camera picture against the new template belongs to the
    // capture hand-shake; it asks for one when it is wired in.
    return true;
}

QList<QPointF> CutDocument::currentPageMarkPoint(bool scan)
{
    QList<QPointF> points;
    const GMarkItem *mark = m_scene->page()->markItem();
    if (m_scene->gItemAll().isEmpty() || !mark)
        return points;
    const QMarginsF m = mark->margins();
    QRectF r = m_scene->page()->layout().fullRect(QPageLayout::Millimeter)
                   .adjusted(m.left(), m.top(), m.right(), m.bottom());
    if (scan) {
        if (mark->markType() == 0)
            return points;
        const double w = r.width();
        double h = r.height();
        points << GPathProcess::mm2Hpgl(QPointF(0, 0)) << GPathProcess::mm2Hpgl(QPointF(0, w));
        if (mark->markType() == 4) {
            const Config *config = m_services.config();
            h = m_scene->page()->layout().fullRect(QPageLayout::Millimeter).height()
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

int CutDocument::pageMarkType()
{
    if (m_scene->gItemAll().isEmpty())
        return 4;
    const GMarkItem *mark = m_scene->page()->markItem();
    return mark ? mark->markType() : -1;
}

QVariant CutDocument::graphicsView() const
{
    return QVariant::fromValue(static_cast<QWidget *>(m_view));
}

void CutDocument::openSceneBlocking(const QString &path)
{
    if (QThread::currentThread() == thread())
        openInScene(path);
    else
        QMetaObject::invokeMethod(this, [this, path] { openInScene(path); }, Qt::BlockingQueuedConnection);
}

bool CutDocument::hasItems()
{
    bool has = false;
    QMetaObject::invokeMethod(
        this, [this, &has] { has = !m_scene->gItemAll().isEmpty(); },
        QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
    return has;
}
