#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPolygonF>
#include <QString>

#include <atomic>
#include <functional>

// Reads a preview's cut file off the GUI thread: its first bytes (the
// header) and its polylines through the HPGL reader. Every preview's reads
// run on one thread of the process (the reader's callback has no context),
// which is stopped and joined as the process ends; a read under way stops
// soon after its preview goes, asks for another file or the process ends,
// so none of these waits for it. Results are handed over
// on the thread the object lives on, the newest read's only.
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
    // Never waits: a read under way for this object is dropped when it ends.
    ~PltFileReader() override;

    void read(const QString &path);

private:
    friend class PreviewReadThread;
    static Result readFile(const QString &path, const std::atomic<bool> *stop = nullptr);
    void deliver(quint64 ticket, Result &result);

    std::function<void(Result &)> m_take;
    quint64 m_newest = 0; // the ticket of the newest read asked for
};
