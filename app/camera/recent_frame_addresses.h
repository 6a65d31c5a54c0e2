#pragma once

#include <QString>

#include <algorithm>
#include <array>

// The addresses the latest frames were shown under. The page reads an
// address and asks for its picture a moment later, when a newer frame may
// already have replaced it; such an address still answers while it is one of
// the latest kept. A fixed ring, so it never grows; its owner locks it.
class RecentFrameAddresses
{
public:
    // About three seconds of frames for the page to ask in: on a starved
    // machine it was seen asking seventeen frames late. Only addresses are
    // kept, so a long ring costs next to nothing.
    static constexpr int kKept = 32;

    void add(const QString &url)
    {
        m_urls[m_next] = url;
        m_next = (m_next + 1) % kKept;
    }

    bool contains(const QString &url) const
    {
        return !url.isEmpty() && std::find(m_urls.begin(), m_urls.end(), url) != m_urls.end();
    }

    void clear() { m_urls.fill(QString()); }

private:
    std::array<QString, kKept> m_urls;
    int m_next = 0;
};
