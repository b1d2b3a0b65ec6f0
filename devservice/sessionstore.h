// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

// Session tokens issued at login; the server's worker threads share one store.
class SessionStore
{
public:
    std::string issue(const std::string &userName);
    // The user name the token was issued to.
    std::optional<std::string> userFor(const std::string &token) const;
    // Invalidates every token issued so far; gives how many there were.
    size_t forgetAll();

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_users; // token -> user name
};

// A random hexadecimal text of the given number of bytes, for tokens and tickets.
std::string randomHex(int bytes);
