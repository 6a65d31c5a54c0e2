#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>

// Decodes advertisement pictures on threads of its own, never on the GUI
// thread: a small file may be a huge image. A picture of more than
// kMaxPixels is refused before it is decoded; the others are kept no larger
// than the window can show them. The pool is joined by the destructor.
class PictureDecoder : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxPixels = 16 * 1000 * 1000;

    explicit PictureDecoder(QObject *parent = nullptr);
    ~PictureDecoder() override;

    // keptPixels: the most pixels worth keeping of it. The result comes as
    // decoded(), on the thread of this object.
    void decode(quint64 generation, int index, const QByteArray &data, qint64 keptPixels);
    // Decodes of older lists not yet started are dropped.
    void dropOlderThan(quint64 generation);

signals:
    // image null: failure says why. original: the picture's own size.
    void decoded(quint64 generation, int index, const QImage &image, const QSize &original, const QString &failure);

private:
    QThreadPool m_pool;
    std::atomic<quint64> m_generation{0};
};
