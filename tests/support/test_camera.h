#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <QVariant>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Stands in for the QML camera object "SpoolsmithCamera": answers each
// capture request with a synthetic picture carrying the request's token.
class TestCamera : public QObject
{
    Q_OBJECT

public:
    explicit TestCamera(QObject *parent = nullptr);
    ~TestCamera() override;

    // Mark centres (full-resolution pixels) of the next mark picture.
    void setMarkSource(std::function<QList<QPointF>(const QSize &)> source) { m_source = std::move(source); }
    // The whole mark picture instead (a web of printed pages), given its size.
    void setMarkPictureSource(std::function<QImage(const QSize &)> source) { m_pictureSource = std::move(source); }
    void setPictureSize(const QSize &size) { m_size = size; }
    // The next check-camera pictures (else an empty picture of the size).
    void setLabelSource(std::function<QImage()> source) { m_labelSource = std::move(source); }
    // Instead: what the check camera sees is settled on the GUI thread at the
    // request, and the picture drawn on a thread of this object and answered
    // on the GUI thread, as a real camera's frames arrive (drawing one takes
    // longer than the program's whole handling of it).
    void setLabelPlanner(std::function<std::function<QImage()>()> planner) { m_labelPlanner = std::move(planner); }
    void setMarkSizeMm(double mm) { m_markSizeMm = mm; }
    // The next n requests get no answer at all.
    void dropNext(int n) { m_drop.store(n); }
    // Answers come this late (ms), from the GUI thread's event loop.
    void setDelayMs(int ms) { m_delayMs.store(ms); }
    int requests() const { return m_requests.load(); }
    int answered() const { return m_answered.load(); }
    // Time spent drawing pictures (not the program's time), ns.
    qint64 renderNs() const { return m_renderNs.load(); }
    // The part of it spent on the mark camera's pictures, which the job waits for.
    qint64 markRenderNs() const { return m_markRenderNs.load(); }

    QImage markPicture() const;
    QImage blankPicture() const;

signals:
    void capture(const QVariant &c);
    void capturedMarkImage(int id, const QVariant &c);
    void capturedLabelImage(int id, const QVariant &c);

private:
    void onCapture(const QVariant &c);

    std::function<QList<QPointF>(const QSize &)> m_source;
    std::function<QImage(const QSize &)> m_pictureSource;
    std::function<QImage()> m_labelSource;
    std::function<std::function<QImage()>()> m_labelPlanner;
    std::mutex m_drawersLock;
    std::vector<std::thread> m_drawers;
    QSize m_size{1280, 960};
    double m_markSizeMm = 4.0;
    std::atomic<int> m_drop{0};
    std::atomic<int> m_delayMs{0};
    std::atomic<int> m_requests{0};
    std::atomic<int> m_answered{0};
    std::atomic<qint64> m_renderNs{0};
    std::atomic<qint64> m_markRenderNs{0};
};
