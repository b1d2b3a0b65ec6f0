// SPDX-License-Identifier: MIT
#include "devservice/sessionstore.h"

#include <random>

std::string randomHex(int bytes)
{
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::lock_guard<std::mutex> lock(mutex);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text;
    text.reserve(static_cast<size_t>(bytes) * 2);
    for (int i = 0; i < bytes; ++i) {
        const int value = byte(engine);
        text += digits[value >> 4];
        text += digits[value & 15];
    }
    return text;
}

std::string SessionStore::issue(const std::string &userName)
{
    const std::string token = randomHex(16);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_users[token] = userName;
    return token;
}

std::optional<std::string> SessionStore::userFor(const std::string &token) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_users.find(token);
    if (it == m_users.end())
        return std::nullopt;
    return it->second;
}

size_t SessionStore::forgetAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t count = m_users.size();
    m_users.clear();
    return count;
}
