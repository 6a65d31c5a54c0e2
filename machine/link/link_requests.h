#pragma once

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Address changes asked for on the GUI thread, carried out on a thread of
// their own: connecting and the start sequence take seconds with a slow
// machine, which the GUI thread must not wait for. The newest request wins.
class LinkRequests
{
public:
    explicit LinkRequests(std::function<void(const QString &ip)> apply);
    ~LinkRequests();

    void request(const QString &ip);
    // A request in progress finishes first (its connect and replies are
    // bounded); one not yet taken up is dropped. Requests after it start again.
    void stop();

private:
    void loop();

    std::function<void(const QString &)> m_apply;
    std::mutex m_lock; // the fields below (leaf)
    std::condition_variable m_wake;
    std::optional<QString> m_requested;
    bool m_stop = false;
    std::thread m_thread;
};
