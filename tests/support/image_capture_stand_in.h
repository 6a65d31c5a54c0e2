#pragma once

#include <QImage>
#include <QObject>
#include <QVariant>

#include <atomic>
#include <functional>

// Stands in for a capture session's ImageCapture inside the QML camera
// object (RCamera's markImageCapture / checkImageCapture): always ready, each
// capture() answered from the event loop with the source's picture under
// the request id it returned.
class ImageCaptureStandIn : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool readyForCapture READ readyForCapture CONSTANT)

public:
    explicit ImageCaptureStandIn(std::function<QImage()> source, QObject *parent = nullptr);

    bool readyForCapture() const { return true; }
    Q_INVOKABLE int capture();
    int requests() const { return m_next.load(); }
    int answered() const { return m_answered.load(); }
    // Time spent drawing pictures (not the program's time), ns.
    qint64 renderNs() const { return m_renderNs.load(); }

signals:
    void imageCaptured(int requestId, const QImage &preview);

private:
    std::function<QImage()> m_source;
    std::atomic<int> m_next{0};
    std::atomic<int> m_answered{0};
    std::atomic<qint64> m_renderNs{0};
};
