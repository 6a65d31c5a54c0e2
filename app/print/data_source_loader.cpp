#include "app/print/data_source_loader.h"

#include "platform/scene/variable_data.h"

#include <QDebug>
#include <QElapsedTimer>

DataSourceLoader::DataSourceLoader(QObject *parent) : QObject(parent) {}

DataSourceLoader::~DataSourceLoader()
{
    // Its owner is being torn down: nobody is told any more.
    blockSignals(true);
    stop();
}

void DataSourceLoader::stop()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    const std::lock_guard<std::mutex> lock(m_lock);
    ++m_generation; // a result still queued is not delivered
    m_finished = false;
    m_result.reset();
    setProgress(-1);
}

void DataSourceLoader::setProgress(int percent)
{
    if (m_progress.exchange(percent) != percent)
        emit progressChanged();
}

void DataSourceLoader::start(const QString &path)
{
    stop();
    m_stop.store(false);
    unsigned generation = 0;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        generation = m_generation;
        m_path = path;
    }
    setProgress(0);
    m_thread = std::thread([this, path, generation] {
        QElapsedTimer clock;
        clock.start();
        auto data = std::make_shared<VariableData>();
        const bool ok = data->load(path, [this](int permille) {
            setProgress(permille / 10);
            return !m_stop.load();
        });
        if (ok)
            qInfo() << "GScene::setVariableFile" << path << data->rowCount() << "rows in" << clock.elapsed() << "ms";
        else if (!m_stop.load())
            qCritical() << "GScene::setVariableFile" << data->error();
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            if (generation != m_generation)
                return;
            m_finished = true;
            m_result = ok ? std::move(data) : nullptr;
        }
        m_done.notify_all();
        QMetaObject::invokeMethod(this, [this, generation] { deliver(generation); }, Qt::QueuedConnection);
    });
}

bool DataSourceLoader::waitFor(std::chrono::milliseconds timeout)
{
    unsigned generation = 0;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_done.wait_for(lock, timeout, [this] { return m_finished || !busy(); }))
            return false;
        generation = m_generation;
    }
    deliver(generation);
    return true;
}

void DataSourceLoader::deliver(unsigned generation)
{
    QString path;
    std::shared_ptr<const VariableData> data;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (generation != m_generation || !m_finished)
            return; // stopped since, or handed over already
        m_finished = false;
        path = m_path;
        data = std::move(m_result);
    }
    if (m_thread.joinable())
        m_thread.join();
    setProgress(-1);
    emit loaded(path, data);
}
