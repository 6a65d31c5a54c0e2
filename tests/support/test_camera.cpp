#include "tests/support/test_camera.h"

#include "tests/support/synthetic_marks.h"

#include <QElapsedTimer>
#include <QTimer>

TestCamera::TestCamera(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("SpoolsmithCamera"));
    connect(this, &TestCamera::capture, this, &TestCamera::onCapture);
}

TestCamera::~TestCamera()
{
    std::vector<std::thread> drawers;
    {
        std::lock_guard<std::mutex> lock(m_drawersLock);
        drawers.swap(m_drawers);
    }
    for (std::thread &t : drawers)
        t.join();
}

QImage TestCamera::blankPicture() const
{
    // Dark, as an unlit camera sees: never whatever the memory held before.
    QImage image(m_size, QImage::Format_RGB888);
    image.fill(Qt::black);
    return image;
}

QImage TestCamera::markPicture() const
{
    if (m_pictureSource)
        return m_pictureSource(m_size);
    synth::Picture picture;
    picture.size = m_size;
    if (m_source) {
        for (const QPointF &c : m_source(m_size))
            picture.marks << synth::Mark{synth::Shape::Disk, c, m_markSizeMm};
    }
    return synth::render(picture);
}

void TestCamera::onCapture(const QVariant &c)
{
    ++m_requests;
    const int token = c.toInt();
    if (m_drop.load() > 0) {
        --m_drop;
        return;
    }
    const bool mark = token % 10 == 1;
    if (!mark && m_labelPlanner) {
        std::function<QImage()> draw = m_labelPlanner();
        std::lock_guard<std::mutex> lock(m_drawersLock);
        m_drawers.emplace_back([this, token, draw = std::move(draw)] {
            QElapsedTimer drawing;
            drawing.start();
            const QImage image = draw();
            m_renderNs += drawing.nsecsElapsed();
            QMetaObject::invokeMethod(this, [this, token, image] {
                ++m_answered;
                emit capturedLabelImage(token, QVariant::fromValue(image));
            }, Qt::QueuedConnection);
        });
        return;
    }
    QElapsedTimer drawing;
    drawing.start();
    const QImage image = mark ? markPicture() : m_labelSource ? m_labelSource() : blankPicture();
    const qint64 ns = drawing.nsecsElapsed();
    m_renderNs += ns;
    if (mark)
        m_markRenderNs += ns;
    auto answer = [this, token, mark, image]() {
        ++m_answered;
        if (mark)
            emit capturedMarkImage(token, QVariant::fromValue(image));
        else
            emit capturedLabelImage(token, QVariant::fromValue(image));
    };
    if (m_delayMs.load() > 0)
        QTimer::singleShot(m_delayMs.load(), this, answer);
    else
        answer();
}
