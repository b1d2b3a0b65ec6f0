// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// When the service answers: the stall switch of "demo/control" and the pauses of slow answers
// and downloads. Every wait ends when the service stops, so a held request never keeps the
// process alive, and when the client goes away, so it does not hold a worker for nothing.
class Pacing
{
public:
    void setStalled(bool stalled);
    bool stalled() const;

    // Holds a request of the stalled service until the stall ends. At most MaxHeld wait at
    // a time; the others return at once, so the workers left answer "demo/control".
    void hold(int socket);
    // False if the service stops or the client goes away first.
    bool pause(std::chrono::milliseconds duration, int socket = -1);
    void stop();

    static constexpr int MaxHeld = 16;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stalled = false;
    bool m_stopping = false;
    int m_held = 0;
};
