#include "app/plt_file_reader.h"

#include "platform/hpgl/hpgl.h"
#include "platform/scene/gpath_process.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {
// The reader's callback has no context: the reading thread collects into
// the list of the read under way.
thread_local QList<QPolygonF> *t_polylines = nullptr;

void onHpglPolyline(const HpglRecord *record)
{
    if (!record || record->kind != HPGL_RECORD_POLYLINE || !t_polylines)
        return;
    QPolygonF line;
    for (const HpglNode *n = record->head; n; n = n->next)
        line.prepend(GPathProcess::hpgl2Point(QPointF(n->y, n->x)));
    t_polylines->append(line);
}
} // namespace

// The one thread that reads every preview's file, in turn. A preview that
// goes away only leaves the queue, so closing a page never waits for a
// large file to be read; the application's end stops and joins the thread
// (before the process's other statics go).
class PreviewReadThread
{
public:
    static PreviewReadThread &instance()
    {
        static PreviewReadThread thread;
        return thread;
    }

    quint64 ask(PltFileReader *reader, const QString &path)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const quint64 ticket = ++m_tickets;
        m_asked[reader] = Ask{path, ticket, true};
        if (reader == m_reading)
            m_stopRead.store(true); // a newer read supersedes it
        if (!m_thread.joinable() && !m_stop)
            m_thread = std::thread([this] { run(); });
        m_wake.notify_one();
        return ticket;
    }

    void forget(PltFileReader *reader)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_asked.erase(reader);
        if (reader == m_reading)
            m_stopRead.store(true);
    }

private:
    struct Ask
    {
        QString path;
        quint64 ticket = 0;
        bool waiting = false; // not yet taken by the thread
    };

    PreviewReadThread()
    {
        qAddPostRoutine([] { instance().stop(); });
    }
    ~PreviewReadThread() { stop(); }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
            m_asked.clear();
            m_stopRead.store(true);
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            auto next = m_asked.end();
            m_wake.wait(lock, [&] {
                next = std::find_if(m_asked.begin(), m_asked.end(), [](const auto &a) { return a.second.waiting; });
                return m_stop || next != m_asked.end();
            });
            if (m_stop)
                return;
            PltFileReader *reader = next->first;
            const QString path = next->second.path;
            const quint64 ticket = next->second.ticket;
            next->second.waiting = false;
            m_reading = reader;
            m_stopRead.store(false);
            lock.unlock();
            auto result = std::make_shared<PltFileReader::Result>(PltFileReader::readFile(path, &m_stopRead));
            lock.lock();
            m_reading = nullptr;
            // Posted under the lock: a reader that is still asked for cannot
            // be destroyed meanwhile, and one destroyed later drops the event.
            const auto still = m_asked.find(reader);
            if (still != m_asked.end() && still->second.ticket == ticket)
                QMetaObject::invokeMethod(
                    reader, [reader, ticket, result] { reader->deliver(ticket, *result); }, Qt::QueuedConnection);
        }
    }

    std::mutex m_lock; // the members below
    std::condition_variable m_wake;
    std::map<PltFileReader *, Ask> m_asked; // the newest read of each reader
    quint64 m_tickets = 0;
    bool m_stop = false;
    PltFileReader *m_reading = nullptr; // whose file is being read
    std::atomic<bool> m_stopRead{false}; // the read under way is no longer wanted
    std::thread m_thread;
};

PltFileReader::PltFileReader(std::function<void(Result &)> take, QObject *parent)
    : QObject(parent)
    , m_take(std::move(take))
{
}

PltFileReader::~PltFileReader()
{
    PreviewReadThread::instance().forget(this);
}

void PltFileReader::read(const QString &path)
{
    m_newest = PreviewReadThread::instance().ask(this, path);
}

void PltFileReader::deliver(quint64 ticket, Result &result)
{
    if (ticket == m_newest) // else a newer read was asked for meanwhile
        m_take(result);
}

PltFileReader::Result PltFileReader::readFile(const QString &path, const std::atomic<bool> *stop)
{
    Result result;
    result.path = path;
    QFile file(path);
    result.opened = file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (result.opened)
        result.head = file.read(kHeadBytes);
    file.close();
    t_polylines = &result.polylines;
    init_HPGL();
    read_HPGL_until(path.toStdWString().c_str(), &onHpglPolyline, stop);
    exit_HPGL();
    t_polylines = nullptr;
    return result;
}
