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
    QElapsedTimer drawing;
    drawing.start();
    const QImage image = mark ? markPicture() : m_labelSource ? m_labelSource() : QImage(m_size, QImage::Format_RGB888);
    m_renderNs += drawing.nsecsElapsed();
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
