#include "app/cut/cut_document.h"

#include "app/cut/cut_geometry.h"
#include "app/cut/cut_page_limit.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "app/graphics_view.h"
#include "machine/trv610plus.h"
#include "platform/scene/gscene.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>
#include <QThread>

#include <condition_variable>

namespace {
QString appPath()
{
    return QCoreApplication::applicationDirPath();
}

bool isTva(const QString &path)
{
    return path.right(3).toLower() == QLatin1String("tva");
}

// Large HPGL files are read and parsed on the loader thread.
bool opensOnWorker(const QString &path)
{
    return !isTva(path) && QFileInfo(path).size() > CutDocument::kWorkerFileBytes;
}
} // namespace

CutDocument::CutDocument(AppServices services, Hooks hooks, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_hooks(std::move(hooks))
    , m_check([this](const QString &text) {
        if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
            device->setErrorMessage(text);
    })
{
    // The view and the scene live until the process ends, like the QML
    // that shows them.
    m_view = new GraphicsView;
    // Handed to QML without a parent: the engine would take it over and
    // its garbage collector delete it under the application.
    QQmlEngine::setObjectOwnership(m_view, QQmlEngine::CppOwnership);
    connect(this, &CutDocument::openScene, this, &CutDocument::openInScene);
    m_scene = m_ownScene = makeScene();
    m_view->setScene(m_scene);
    m_loader = new CutFileLoader(this);
    connect(m_loader, &CutFileLoader::progress, this, &CutDocument::loadProgress, Qt::QueuedConnection);
    connect(m_loader, &CutFileLoader::loaded, this, &CutDocument::placeLoaded, Qt::QueuedConnection);
    connect(this, &CutDocument::loadProgress, this, &CutDocument::setLoadPercent);
    connect(this, &CutDocument::cutFileLoaded, this, [this] { setLoadPercent(-1); });
}

CutDocument::~CutDocument()
{
    // The view outlives this document; the known templates' scenes do not.
    showScene(m_ownScene);
}

GScene *CutDocument::makeScene()
{
    auto *scene = new GScene;
    scene->setGSceneFlag(2, true);
    scene->setGSceneFlag(1, true);
    scene->setGSceneFlag(4, true);
    // The task thread builds plot data from the scene while a job runs.
    scene->setEditGuard([this] { return m_hooks.taskStatus() == 2; });
    return scene;
}

void CutDocument::showScene(GScene *scene)
{
    if (scene == m_scene)
        return;
    // The cutting settings live in the scene: they go with the page in sight.
    for (int index : m_scene->penIndexes())
        *scene->sp(index) = *m_scene->sp(index);
    scene->enableSort(m_scene->isSort());
    scene->setSortSP(m_scene->isSortSP());
    scene->setSortInside(m_scene->isSortInside());
    scene->setShowMargin(m_scene->showMargin());
    if (scene == m_ownScene) {
        // Empty here: it stands for the scene as the last file left it.
        scene->page()->setSize(m_scene->page()->sizeMm());
        scene->setSceneRect(m_scene->sceneRect());
    }
    m_view->setScene(scene);
    m_scene = scene;
}

void CutDocument::showOwnScene()
{
    showScene(m_ownScene);
    m_templates.clear(m_ownScene);
}

void CutDocument::setLoadPercent(int percent)
{
    if (m_loadPercent == percent)
        return;
    m_loadPercent = percent;
    emit loadPercentChanged();
}

bool CutDocument::opening() const
{
    return m_loadPending || m_placing;
}

bool CutDocument::openOnWorker(const QString &path, bool asCutFile)
{
    // A loaded file waiting for a job's end keeps the loader's result.
    if (m_loadPending) {
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: another cut file is opening";
        return false;
    }
    CutFileLoader::Job job;
    job.path = path;
    job.reversed = openingReversed();
    job.showFile = appPath() + QStringLiteral("/plt.plt");
    job.templateFile = QStringLiteral("bk.png");
    qInfo() << "SpoolsmithApp::onOpenScene" << path << "on the worker thread";
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cutFileBefore = m_cutFile;
        m_sourceFileBefore = m_sourceFile;
        m_sceneFileBefore = m_sceneFile;
        if (asCutFile)
            m_cutFile = m_sourceFile = path;
        m_sceneFile = path;
    }
    m_loadIsOperators = asCutFile;
    m_loadRefused = false;
    m_loadPending = m_loader->start(job);
    if (m_loadPending)
        setLoadPercent(0);
    else
        qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: another cut file is opening";
    if (asCutFile)
        emit cutFileChanged();
    return m_loadPending;
}

void CutDocument::placeLoaded()
{
    // A job started meanwhile cuts the scene it has (the task thread reads
    // it): the operator's file is placed once the job has ended.
    if (m_loadIsOperators && jobRuns()) {
        if (!m_placeDeferred)
            qInfo() << "SpoolsmithApp::onOpenScene" << "a job runs: the loaded file is placed at its end";
        m_placeDeferred = true;
        return;
    }
    m_placeDeferred = false;
    m_loadPending = false;
    m_placing = m_loader->takeResult();
    if (!m_placing) {
        emit cutFileLoaded(); // nobody waits for a load that never ends
        return;
    }
    if (m_placing->refused) {
        refuseLoaded();
        return;
    }
    showOwnScene();
    m_scene->gClear();
    if (!m_placing->ok) {
        qCritical() << "SpoolsmithApp::onOpenScene" << m_placing->job.path << m_placing->error;
        m_placing.reset();
        emit cutFileLoaded();
        reopenIfPending();
        return;
    }
    m_scene->setPageGeometry(m_placing->content.pageMm, m_placing->content.mark);
    m_placing->content.mark = nullptr; // the scene's now
    placeSlice();
}

void CutDocument::placeSlice()
{
    if (!m_placing)
        return;
    QElapsedTimer slice;
    slice.start();
    QList<QGraphicsItem *> &items = m_placing->content.items;
    while (!items.isEmpty() && slice.elapsed() < kPlaceSliceMs)
        m_scene->addCutItem(items.takeFirst());
    if (!items.isEmpty()) {
        QTimer::singleShot(0, this, &CutDocument::placeSlice);
        return;
    }
    const std::unique_ptr<CutFileLoader::Result> done = std::move(m_placing);
    m_scene->setFileName(done->job.path);
    m_view->fitPage();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pageSize = m_scene->page()->sizeMm();
    }
    setCutShowFile(done->job.showFile);
    if (!done->mask.isNull()) {
        m_templateFile.write(done->job.templateFile, done->mask);
        storeTemplate(done->inspection, done->rows, done->cols);
    }
    // The cutter's plot data follows a turned scene, and any scene a job
    // switches to (the mark step rebuilds it only for pages with marks).
    m_sceneReversed.store(done->job.reversed);
    if ((done->job.reversed && m_scene->page()->markItem()) || jobRuns())
        m_hooks.rebuildPlotData();
    qInfo() << "SpoolsmithApp::onOpenScene" << done->job.path << "open";
    emit cutFileLoaded();
    reopenIfPending();
}

void CutDocument::refuseLoaded()
{
    if (m_placing->unreadable.isEmpty())
        m_check.refusePage(m_placing->job.path, m_placing->content.pageMm);
    else
        m_check.refuseUnreadable(m_placing->job.path, m_placing->unreadable, m_placing->content.uncut);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sceneFile = m_sceneFileBefore;
        if (m_loadIsOperators) {
            m_cutFile = m_cutFileBefore;
            m_sourceFile = m_sourceFileBefore;
        }
    }
    m_loadRefused = true;
    m_placing.reset();
    if (m_loadIsOperators)
        emit cutFileChanged();
    emit cutFileLoaded();
    reopenIfPending();
}

QString CutDocument::sourceFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sourceFile;
}

bool CutDocument::openingReversed() const
{
    // Every scene a job opens (its page-code switches, back to its own page
    // too) is opened as the one it started with, which no opening since has
    // changed: a direction saved meanwhile waits for the job's end.
    if (jobRuns())
        return m_sceneReversed.load();
    const Config *config = m_services.config();
    return config && config->getProperty(Config::CPT_Cut_Inverse).toBool();
}

void CutDocument::reopenForCutDirection()
{
    // Not under a job, paused ones included (a page-code switch's scene
    // stays), nor beside a file still opening.
    if (jobRuns() || opening()) {
        qInfo() << "SpoolsmithApp::onPropertyChanged" << "cut direction applied to the scene once the job has ended";
        m_reopenPending = true;
        return;
    }
    m_reopenPending = false;
    const QString file = sourceFile();
    if (file.isEmpty())
        return;
    if (opensOnWorker(file))
        openOnWorker(file, true);
    else if (const std::optional<QByteArray> bytes = m_check.read(file))
        openChecked(file, *bytes);
}

void CutDocument::reopenIfPending()
{
    if (m_reopenPending && !jobRuns() && !opening())
        reopenForCutDirection();
}

void CutDocument::taskStatusChanged()
{
    if (jobRuns())
        return;
    if (m_placeDeferred)
        placeLoaded(); // reopens when it is done
    else
        reopenIfPending();
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

bool CutDocument::refusedWhileOpening(const QString &path)
{
    if (!opening())
        return false;
    qCritical() << "SpoolsmithApp::setCutFile" << path << "refused: another cut file is opening";
    if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
        device->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "切割文件正在载入，请稍后 \n"));
    return true;
}

void CutDocument::openChecked(const QString &path, const QByteArray &bytes)
{
    m_checkedPath = path;
    m_checkedBytes = bytes;
    emit openScene(path);
    m_checkedPath.clear();
    m_checkedBytes.clear();
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
        if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
            device->setErrorMessage(tr("任务运行中，请先停止任务"));
        return;
    }
    if (!m_check.sizeAccepted(path) || refusedWhileOpening(path))
        return;
    if (opensOnWorker(path)) {
        openOnWorker(path, true);
        return;
    }
    if (isTva(path)) {
        // A missing or refused file changes nothing, the print file neither.
        if (openTvaCutFile(path) && m_hooks.offerPrintFile)
            m_hooks.offerPrintFile(path);
        return;
    }
    // Read once: the bytes checked are the bytes opened.
    const std::optional<QByteArray> bytes = m_check.read(path);
    if (!bytes)
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cutFile = m_sourceFile = path;
    }
    openChecked(path, *bytes);
    emit cutFileChanged();
}

bool CutDocument::openTvaCutFile(const QString &path)
{
    if (!QFile::exists(path))
        return false;
    if (!m_scene->canEdit()) {
        qCritical() << "SpoolsmithApp::openTvaCutFile" << path << "refused: a job is running";
        return false;
    }
    const std::optional<QByteArray> bytes = m_check.read(path);
    if (!bytes)
        return false;
    openChecked(path, *bytes);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_saveFile = appPath() + QStringLiteral("/tmp.plt");
        m_cutFile = m_cutShowFile;
        m_sourceFile = path;
    }
    emit cutFileChanged();
    return true;
}

void CutDocument::openInScene(const QString &path)
{
    // What openScene is emitted for comes checked; any other emitter's file
    // is checked here.
    std::optional<QByteArray> bytes;
    if (path == m_checkedPath)
        bytes = m_checkedBytes;
    else
        bytes = m_check.read(path);
    if (!bytes)
        return;
    showOwnScene();
    openHere(path, *bytes);
}

void CutDocument::openCheckedInScene(const QString &path)
{
    if (!m_check.sizeAccepted(path) || refusedWhileOpening(path))
        return;
    if (opensOnWorker(path)) {
        openOnWorker(path, false);
    } else if (const std::optional<QByteArray> bytes = m_check.read(path)) {
        showOwnScene();
        openHere(path, *bytes);
    }
}

bool CutDocument::openTemplate(const QString &path)
{
    // Read once: a known template is found by these bytes, a new one opened from them.
    const std::optional<QByteArray> read = m_check.readBytes(path);
    if (!read)
        return false;
    const QByteArray &bytes = *read;
    const bool small = bytes.size() <= kWorkerFileBytes;
    const bool reversed = openingReversed();
    if (TemplateCache::Entry *known = small ? m_templates.find(path, reversed, bytes) : nullptr) {
        qInfo() << "SpoolsmithApp::onOpenScene" << path;
        presentTemplate(*known);
        return true;
    }
    if (!m_check.contentAccepted(path, bytes))
        return false;
    showScene(m_ownScene);
    m_mask = QImage();
    if (!openHere(path, bytes))
        return false;
    // Kept only when opened whole. The preview's bytes come from this
    // scene, not from the shared file.
    QTemporaryFile shown(QDir::tempPath() + QStringLiteral("/spoolsmith-preview-XXXXXX.plt"));
    if (!small || m_scene->fileName() != path || m_scene->gItemAll().isEmpty() || m_mask.isNull()
        || !m_showFileWritten || !shown.open() || !m_scene->saveCutFile(shown.fileName()) || !shown.seek(0))
        return true;
    auto entry = std::make_unique<TemplateCache::Entry>();
    entry->path = path;
    entry->reversed = reversed;
    entry->fileBytes = bytes;
    entry->itemCount = int(m_scene->gItemAll().size());
    entry->showFile = shown.readAll();
    entry->mask = m_mask;
    entry->maskFile = m_maskFile;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        entry->pageSize = m_pageSize;
        entry->inspection = m_inspectionTemplate;
        entry->rows = m_rowSegments;
        entry->cols = m_colSegments;
    }
    // The scene goes with the entry; a fresh one takes its place for the
    // openings to come.
    entry->scene.reset(m_ownScene);
    m_ownScene = makeScene();
    m_templates.insert(std::move(entry), m_scene);
    return true;
}

void CutDocument::presentTemplate(TemplateCache::Entry &entry)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sceneFile = entry.path;
    }
    showScene(entry.scene.get());
    // Turned already when it was opened; the plot data follows the scene.
    m_sceneReversed.store(entry.reversed);
    if ((entry.reversed && m_scene->page()->markItem()) || jobRuns())
        m_hooks.rebuildPlotData();
    m_view->fitPage();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pageSize = entry.pageSize;
    }
    const QString show = appPath() + QStringLiteral("/plt.plt");
    QFile file(show);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(entry.showFile) != entry.showFile.size())
        qCritical() << "GScene::exportFile" << show << file.errorString();
    file.close();
    setCutShowFile(show);
    m_mask = entry.mask;
    m_templateFile.write(QStringLiteral("bk.png"), entry.mask, entry.maskFile);
    storeTemplate(entry.inspection, entry.rows, entry.cols);
}

bool CutDocument::openHere(const QString &path, const QByteArray &bytes)
{
    qInfo() << "SpoolsmithApp::onOpenScene" << path;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sceneFile = path;
    }
    if (!m_scene->openBytes(bytes, path, false))
        qCritical() << "SpoolsmithApp::onOpenScene" << path << m_scene->errorString();

    GMarkItem *mark = m_scene->page()->markItem();
    const bool reversed = openingReversed();
    m_sceneReversed.store(reversed);
    const bool turn = reversed && mark;
    if (turn) {
        QList<QGraphicsItem *> items;
        m_scene->exportCutItems(items, false, false, false);
        CutGeometry::turnAboutMarks(*mark, items);
    }
    // A job's page-code switch changes the scene under it: the cutter gets
    // the new file's plot data even when no mark scan rebuilds it.
    if (turn || jobRuns())
        m_hooks.rebuildPlotData();

    m_view->fitPage();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pageSize = m_scene->page()->sizeMm();
    }
    const QString show = appPath() + QStringLiteral("/plt.plt");
    m_showFileWritten = m_scene->saveCutFile(show);
    setCutShowFile(show);
    loadTemplate();
    return true;
}

QString CutDocument::saveFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_saveFile;
}

void CutDocument::setSaveFile(const QString &path)
{
    // The cut scene is read-only, so nothing in it can be selected: every
    // cut item is exported. A file not written is not shown as saved.
    if (!m_scene->saveCutFile(path)) {
        if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
            device->setErrorMessage(tr("切割文件导出失败") + QStringLiteral(" \n"));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_saveFile = path;
    }
    emit saveFileChanged();
}

QImage CutDocument::renderCutMask() const
{
    QList<QGraphicsItem *> items;
    m_scene->exportCutItems(items, false, false, false);
    return CutGeometry::renderMask(m_scene->page()->sizeMm(), items);
}

bool CutDocument::loadTemplate()
{
    if (!m_scene) {
        qCritical() << "SpoolsmithApp::loadTemplate" << "m_cutScene is NULL";
        return false;
    }
    QList<QGraphicsItem *> items;
    m_scene->exportCutItems(items, false, false, false);
    const cv::Mat templ = CutGeometry::renderTemplate(m_scene->page()->sizeMm(), items);
    if (templ.empty()) {
        qCritical() << "SpoolsmithApp::loadTemplate" << "m_cutScene->bkImage() is NULL";
        return false;
    }
    // The file's bytes are kept with the picture, for a page-code switch
    // that brings this template back.
    m_mask = CutGeometry::pictureOf(templ);
    m_maskFile = std::make_shared<TemplateFileWriter::Encoded>();
    m_templateFile.write(QStringLiteral("bk.png"), m_mask, m_maskFile);
    storeTemplate(templ, m_scene->rowSegments(), m_scene->colSegments());
    return true;
}

void CutDocument::storeTemplate(const cv::Mat &inspection, const QList<QPair<double, double>> &rows,
                                const QList<QPair<double, double>> &cols)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_inspectionTemplate = inspection;
        m_rowSegments = rows;
        m_colSegments = cols;
    }
    // A fresh check picture against the new template, whichever road it came by.
    if (m_hooks.requestCheckPicture)
        m_hooks.requestCheckPicture();
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

CutDocument::SceneOpening CutDocument::openSceneBlocking(const QString &path)
{
    if (QThread::currentThread() != thread() && !path.isEmpty() && opensOnWorker(path))
        return openLargeBlocking(path);
    // One trip to the GUI thread: a page-code switch between two pages
    // should not wait for its event loop twice.
    SceneOpening opening = SceneOpening::Empty;
    const auto open = [this, path, &opening] {
        // No file for the page: nothing to cut in sight (the job is told so).
        if (!path.isEmpty() && !QFileInfo::exists(path))
            return;
        // A refused file leaves the page before in sight: this page is not it.
        if (!path.isEmpty() && !openTemplate(path))
            opening = SceneOpening::Refused;
        else if (!m_scene->gItemAll().isEmpty())
            opening = SceneOpening::Open;
    };
    if (QThread::currentThread() == thread())
        open();
    else
        QMetaObject::invokeMethod(this, open, Qt::BlockingQueuedConnection);
    return opening;
}

CutDocument::SceneOpening CutDocument::openLargeBlocking(const QString &path)
{
    // The worker reads and parses while the GUI thread stays free (the
    // operator can still stop the job); this thread waits for the end.
    struct Wait
    {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        SceneOpening opening = SceneOpening::Empty;
    };
    const auto wait = std::make_shared<Wait>();
    const auto finish = [this, wait](bool refused) {
        std::lock_guard<std::mutex> lock(wait->lock);
        wait->opening = refused                          ? SceneOpening::Refused
                        : !m_scene->gItemAll().isEmpty() ? SceneOpening::Open
                                                         : SceneOpening::Empty;
        wait->finished = true;
        wait->done.notify_all();
    };
    const QMetaObject::Connection loaded =
        connect(this, &CutDocument::cutFileLoaded, this, [this, finish] { finish(m_loadRefused); });
    QMetaObject::invokeMethod(
        this,
        [this, path, finish] {
            qInfo() << "SpoolsmithApp::onOpenScene" << path;
            if (!m_check.sizeAccepted(path))
                finish(true);
            else if (!openOnWorker(path, false))
                finish(false);
        },
        Qt::BlockingQueuedConnection);
    bool stopped = false;
    {
        // A stopped job (or shut-down) no longer waits for its page's file.
        std::unique_lock<std::mutex> lock(wait->lock);
        while (!wait->done.wait_for(lock, std::chrono::milliseconds(100), [&wait] { return wait->finished; })) {
            if (m_hooks.taskStatus() == 2) {
                stopped = true;
                break;
            }
        }
    }
    disconnect(loaded);
    if (stopped) {
        qWarning() << "SpoolsmithApp::setSwitchCutFile" << path << "still opening as the job stopped";
        return SceneOpening::Open; // the job is ending already; nothing to tell the operator
    }
    std::lock_guard<std::mutex> lock(wait->lock);
    return wait->opening;
}

bool CutDocument::hasItems()
{
    bool has = false;
    QMetaObject::invokeMethod(
        this, [this, &has] { has = !m_scene->gItemAll().isEmpty(); },
        QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
    return has;
}
