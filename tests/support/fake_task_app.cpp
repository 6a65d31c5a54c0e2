#include "tests/support/fake_task_app.h"

#include "machine/trv610plus.h"
#include "platform/prompt/prompt.h"

#include <QCoreApplication>

void FakeTaskApp::install(TRV610Plus *stoppedDevice)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_statuses.clear();
        m_cleared.clear();
        m_markIndexes.clear();
    }
    device = stoppedDevice;
    refuseStop = false;
    stops = 0;
    appStatus = 2;
    paperCenterResets = 0;
    captures = 0;
    offset = 0.0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lengths.clear();
        m_collectLen = 50.0;
    }
    TaskApp::setInstance(this);
}

void FakeTaskApp::uninstall()
{
    TaskApp::setInstance(nullptr);
}

QList<int> FakeTaskApp::statuses() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_statuses;
}

QList<int> FakeTaskApp::cleared() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cleared;
}

QList<int> FakeTaskApp::markIndexes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_markIndexes;
}

void FakeTaskApp::setTaskStatus(int status)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_statuses << status;
    appStatus = status;
}

void FakeTaskApp::stopTask(bool)
{
    ++stops;
    if (refuseStop || !device)
        return;
    device->setTaskStatus(2);
    device->exitTask();
}

void FakeTaskApp::clearFilm(int index)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_cleared << index;
}

int FakeTaskApp::markIndex() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_markIndexes.isEmpty() ? 0 : m_markIndexes.last();
}

void FakeTaskApp::setMarkIndex(int index)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_markIndexes << index;
}

void FakeTaskApp::informOperator(const QString &text)
{
    if (Prompt *prompt = Prompt::instance())
        prompt->information(QCoreApplication::applicationName(), text);
}

bool FakeTaskApp::doCapture(int camera)
{
    if (camera != 2)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_lengths.isEmpty())
        m_collectLen = m_lengths.takeFirst();
    ++captures;
    return true;
}

double FakeTaskApp::collectLen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_collectLen;
}

void FakeTaskApp::scriptCollectLengths(const QList<double> &lengths)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_lengths = lengths;
}
