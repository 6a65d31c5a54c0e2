#include "tests/support/image_capture_stand_in.h"

#include <QElapsedTimer>
#include <QTimer>

ImageCaptureStandIn::ImageCaptureStandIn(std::function<QImage()> source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
}

int ImageCaptureStandIn::capture()
{
    const int id = ++m_next;
    // As a camera does: the picture comes after the call has returned.
    QTimer::singleShot(0, this, [this, id] {
        QElapsedTimer drawing;
        drawing.start();
        const QImage picture = m_source ? m_source() : QImage();
        m_renderNs += drawing.nsecsElapsed();
        ++m_answered;
        emit imageCaptured(id, picture);
    });
    return id;
}
