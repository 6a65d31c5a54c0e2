#include "app/plt_file_reader.h"

#include "platform/hpgl/hpgl.h"
#include "platform/scene/gpath_process.h"

#include <QFile>

namespace {
// The reader's callback has no context: each reading thread collects into
// its own list.
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

PltFileReader::PltFileReader(std::function<void(Result &)> take, QObject *parent)
    : QObject(parent)
    , m_take(std::move(take))
{
}

PltFileReader::~PltFileReader()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    if (m_thread.joinable())
        m_thread.join();
}

void PltFileReader::read(const QString &path)
{
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending = path;
        m_hasPending = true;
        ++m_generation;
        start = !m_running;
        m_running = true;
    }
    if (!start)
        return; // the running thread takes it next
    // The thread before has said it ends: its join is at once.
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([this] { run(); });
}

void PltFileReader::run()
{
    for (;;) {
        QString path;
        quint64 generation = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stop || !m_hasPending) {
                m_running = false;
                return;
            }
            path = m_pending;
            generation = m_generation;
            m_hasPending = false;
        }
        auto result = std::make_shared<Result>(readFile(path));
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stop || generation != m_generation)
                continue; // superseded: not handed over
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, result] {
                {
                    std::lock_guard<std::mutex> lock(m_lock);
                    if (generation != m_generation)
                        return; // a newer read was asked for meanwhile
                }
                m_take(*result);
            },
            Qt::QueuedConnection);
    }
}

PltFileReader::Result PltFileReader::readFile(const QString &path)
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
    read_HPGL(path.toStdWString().c_str(), &onHpglPolyline);
    exit_HPGL();
    t_polylines = nullptr;
    return result;
}
