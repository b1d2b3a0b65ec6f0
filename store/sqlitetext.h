// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <cstring>

// Text helpers shared by the two wrapper classes.
namespace SqliteText {

// Copies src into dst like strncpy: at most n bytes, and no terminator when src fills them.
inline void copyBounded(char *dst, int n, const char *src)
{
    if (!dst || n <= 0)
        return;
    std::strncpy(dst, src ? src : "", static_cast<std::size_t>(n));
}

// Keeps src in a fixed buffer, cut to what fits with its terminator.
template <std::size_t N> void store(char (&buffer)[N], const char *src)
{
    std::snprintf(buffer, N, "%s", src ? src : "");
}

} // namespace SqliteText
