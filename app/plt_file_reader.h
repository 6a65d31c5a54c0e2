#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPolygonF>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Reads a preview's cut file off the GUI thread: its first bytes (the
// header) and its polylines through the HPGL reader, on a thread this object
// owns and joins. Results are handed over on the thread the object lives
// on, the newest read's only: a newer read supersedes one not handed over.
class PltFileReader : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        QString path;
        bool opened = false; // false: the file could not be opened
        QByteArray head;     // its first kHeadBytes, as text
        QList<QPolygonF> polylines; // in points, each from its last node to its first
    };
    static constexpr qint64 kHeadBytes = 256;

    explicit PltFileReader(std::function<void(Result &)> take, QObject *parent = nullptr);
    // Waits for a read under way (it is not cut short) and drops its result.
    ~PltFileReader() override;

    void read(const QString &path);

private:
    void run();
    static Result readFile(const QString &path);

    std::function<void(Result &)> m_take;
    std::mutex m_lock; // the members below
    QString m_pending;
    bool m_hasPending = false;
    bool m_running = false;
    bool m_stop = false;
    quint64 m_generation = 0; // of the newest read asked for
    std::thread m_thread;
};
