#pragma once

#include "platform/scene/gscene.h"

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>

#include <opencv2/core.hpp>

#include <atomic>
#include <memory>
#include <mutex>

class QThread;

// Opens a large cut file off the GUI thread: reading, parsing, turning it
// for reversed cutting, writing the shown copy and rendering the label
// template all run on a worker thread this object owns and joins. The GUI
// thread then only places the finished items (CutDocument does, in slices)
// and hands the template to its file writer.
class CutFileLoader : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        QString path;
        bool reversed = false;
        QString showFile; // the shown copy (plt.plt)
        QString templateFile; // where the document writes the template (bk.png)
    };
    struct Result
    {
        Job job;
        bool ok = false;
        bool refused = false; // a page larger than the station takes, or no cut file
        QString unreadable;   // why it is no cut file (empty for a page refused)
        QString error;
        GScene::HpglContent content; // items and mark not yet placed in a scene
        cv::Mat inspection; // the template, for the label finder
        QImage mask;        // and as a picture, sharing its bytes
        QList<QPair<double, double>> rows, cols; // the label grid
        ~Result();
    };

    explicit CutFileLoader(QObject *parent = nullptr);
    ~CutFileLoader() override;

    // false while a load is still running.
    bool start(const Job &job);
    bool busy() const { return m_busy.load(); }
    // The finished load, once loaded() has been emitted.
    std::unique_ptr<Result> takeResult();
    void join();

signals:
    // 0..100 while the worker runs; queued to the receiver's thread.
    void progress(int percent);
    void loaded();

private:
    void run(Job job);

    std::atomic<bool> m_busy{false};
    std::mutex m_lock; // m_result, m_thread
    std::unique_ptr<Result> m_result;
    std::unique_ptr<QThread> m_thread;
};
