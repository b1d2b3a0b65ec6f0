// SPDX-License-Identifier: MIT
#include "devservice/pacing.h"

#include <algorithm>

#include <poll.h>

namespace {

// How often a wait looks whether its client is still there.
constexpr std::chrono::milliseconds PeerCheck{200};

bool peerGone(int socket)
{
    if (socket < 0)
        return false;
    pollfd peer{socket, POLLRDHUP, 0};
    return poll(&peer, 1, 0) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

void Pacing::setStalled(bool stalled)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stalled = stalled;
    }
    m_changed.notify_all();
}

bool Pacing::stalled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stalled && !m_stopping;
}

void Pacing::hold(int socket)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_held >= MaxHeld)
        return;
    ++m_held;
    while (m_stalled && !m_stopping) {
        m_changed.wait_for(lock, PeerCheck);
        if (peerGone(socket))
            break;
    }
    --m_held;
}

bool Pacing::pause(std::chrono::milliseconds duration, int socket)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        m_changed.wait_until(lock, std::min(deadline, now + PeerCheck));
        if (peerGone(socket))
            return false;
    }
    return false;
}

void Pacing::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
}
