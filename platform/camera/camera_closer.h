#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Closes cameras on a thread of its own, so that the thread that grabs is
// not held while a camera that is gone times out on each register write of
// its close (about 12 s for a GigE camera). The thread starts with the first
// close and is joined by finish(), which lets every queued close run first;
// Aravis's own time-outs bound how long that takes.
class CameraCloser
{
public:
    CameraCloser() = default;
    ~CameraCloser();
    CameraCloser(const CameraCloser &) = delete;
    CameraCloser &operator=(const CameraCloser &) = delete;

    void post(std::function<void()> close);
    // Runs what is queued, then ends and joins the thread. A later post
    // starts it again.
    void finish();

private:
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    int m_finishing = 0; // finish() calls under way
    bool m_running = false; // m_thread has not left run()
    std::thread m_thread;
};
