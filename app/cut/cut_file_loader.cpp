#include "app/cut/cut_file_loader.h"

#include "app/cut/cut_geometry.h"
#include "app/cut/cut_page_limit.h"
#include "app/cut/passing_memory.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"

#include <QDebug>
#include <QFile>
#include <QThread>

CutFileLoader::CutFileLoader(QObject *parent)
    : QObject(parent)
{
}

CutFileLoader::~CutFileLoader()
{
    join();
}

CutFileLoader::Result::~Result()
{
    delete content.mark;
    qDeleteAll(content.items);
}

void CutFileLoader::join()
{
    std::unique_ptr<QThread> worker;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        worker = std::move(m_thread);
    }
    if (worker)
        worker->wait();
}

bool CutFileLoader::start(const Job &job)
{
    if (m_busy.exchange(true))
        return false;
    join(); // the last worker has finished; reap it
    std::lock_guard<std::mutex> lock(m_lock);
    // A QThread, not a plain one: the page scene the worker builds starts
    // timers, which need the thread's event dispatcher.
    m_thread.reset(QThread::create([this, job] { run(job); }));
    m_thread->start();
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        qCritical() << "SpoolsmithApp::setCutFile" << "worker thread failed to start";
        m_thread.reset();
        m_busy.store(false);
        return false;
    }
    return true;
}

std::unique_ptr<CutFileLoader::Result> CutFileLoader::takeResult()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return std::move(m_result);
}

void CutFileLoader::run(Job job)
{
    auto result = std::make_unique<Result>();
    result->job = job;
    emit progress(0);
    QFile file(job.path);
    if (!file.open(QIODevice::ReadOnly)) {
        result->error = QStringLiteral("cannot open: %1").arg(file.errorString());
    } else {
        const QByteArray data = file.readAll();
        file.close();
        emit progress(20);
        result->ok = GScene::parseHpgl(data, job.path, &result->content, &result->error);
        // Refused before anything of it is written or drawn.
        if (!result->ok) {
            result->refused = true;
            result->unreadable = result->error;
        } else if (!CutPageLimit::accepts(result->content.pageMm)) {
            result->ok = false;
            result->refused = true;
            result->error = CutPageLimit::reason(result->content.pageMm);
        }
    }
    if (result->ok) {
        emit progress(60);
        QList<QGraphicsItem *> items(result->content.items.cbegin(), result->content.items.cend());
        if (job.reversed && result->content.mark)
            CutGeometry::turnAboutMarks(*result->content.mark, items);
        // A page of one mark item gives the header; the paths are written
        // and rendered where they are, in no scene.
        GScene page;
        page.setPageGeometry(result->content.pageMm, result->content.mark);
        if (!page.exportFile(job.showFile, items))
            qCritical() << "SpoolsmithApp::onOpenScene" << "cannot write" << job.showFile;
        emit progress(80);
        // The label grid first, and what the reading, the shown copy and
        // the grid used in passing goes back before the template takes a
        // page's worth.
        result->rows = GScene::coveredRuns(items, true);
        result->cols = GScene::coveredRuns(items, false);
        giveBackPassingMemory();
        result->inspection = CutGeometry::renderTemplate(page.page()->sizeMm(), items);
        result->mask = CutGeometry::pictureOf(result->inspection);
        result->content.mark = page.takeMarkItem();
        if (result->mask.isNull())
            qCritical() << "SpoolsmithApp::loadTemplate" << "no template for" << job.path;
    }
    giveBackPassingMemory();
    emit progress(100);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_result = std::move(result);
    }
    m_busy.store(false);
    emit loaded();
}
