#include "platform/hpgl/hpgl.h"

#include "platform/hpgl/hpgl_parser.h"

#include <QDebug>
#include <QFile>
#include <QString>

#include <atomic>
#include <vector>

namespace {
std::atomic<int> g_initialised{0};

int deliver(const QByteArray &data, HpglCallback callback, const QString &what,
            const std::atomic<bool> *stop = nullptr)
{
    HpglParser parser;
    parser.setStopFlag(stop);
    std::vector<HpglNode> nodes;
    const bool ok = parser.parse(data, [&](const HpglParser::Polyline &line) {
        if (!callback)
            return;
        // Chain from the last point back to the first.
        nodes.resize(size_t(line.points.size()));
        const HpglNode *next = nullptr;
        for (qsizetype i = 0; i < line.points.size(); ++i) {
            HpglNode &n = nodes[size_t(i)];
            n.x = line.points[i].x();
            n.y = line.points[i].y();
            n.next = next;
            next = &n;
        }
        const HpglRecord record{HPGL_RECORD_POLYLINE, line.pen, int(line.points.size()), next};
        callback(&record);
    });
    if (!ok && parser.stopped())
        return HPGL_ERR_STOPPED;
    if (!ok) {
        qCritical() << "read_HPGL" << what << parser.errorString();
        return HPGL_ERR_NOT_HPGL;
    }
    return HPGL_OK;
}
} // namespace

bool init_HPGL()
{
    g_initialised.fetch_add(1);
    return true;
}

void exit_HPGL()
{
    int v = g_initialised.load();
    while (v > 0 && !g_initialised.compare_exchange_weak(v, v - 1)) {
    }
}

int read_HPGL(const wchar_t *path, HpglCallback callback)
{
    return read_HPGL_until(path, callback, nullptr);
}

int read_HPGL_until(const wchar_t *path, HpglCallback callback, const std::atomic<bool> *stop)
{
    if (g_initialised.load() <= 0) {
        qCritical() << "read_HPGL" << "called before init_HPGL";
        return HPGL_ERR_NOT_INITIALISED;
    }
    const QString name = path ? QString::fromWCharArray(path) : QString();
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical() << "read_HPGL" << "cannot open" << name << file.errorString();
        return HPGL_ERR_OPEN;
    }
    return deliver(file.readAll(), callback, name, stop);
}

int read_HPGL_data(const char *data, long long size, HpglCallback callback)
{
    if (g_initialised.load() <= 0) {
        qCritical() << "read_HPGL" << "called before init_HPGL";
        return HPGL_ERR_NOT_INITIALISED;
    }
    if (!data || size < 0)
        return HPGL_ERR_NOT_HPGL;
    return deliver(QByteArray::fromRawData(data, qsizetype(size)), callback, QStringLiteral("<memory>"));
}
