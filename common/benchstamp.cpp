// SPDX-License-Identifier: MIT
#include "common/benchstamp.h"

#include <QtGlobal>

#include <chrono>
#include <cstdio>

namespace BenchStamp {

bool enabled()
{
    static const bool on = qEnvironmentVariableIsSet("ORVANE_BENCH_STAMPS");
    return on;
}

void stamp(const char *event)
{
    if (!enabled())
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    std::fprintf(stderr, "orvane-bench %s %lld\n", event, static_cast<long long>(ns));
    std::fflush(stderr);
}

} // namespace BenchStamp
