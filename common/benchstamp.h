// SPDX-License-Identifier: MIT
#pragma once

// Time stamps for the benchmarks in bench/: with ORVANE_BENCH_STAMPS set, each call prints
// "orvane-bench <event> <steady clock ns>" on standard error (CLOCK_MONOTONIC on Linux).
// Unset, a call costs one test of a cached flag.
namespace BenchStamp {

bool enabled();
void stamp(const char *event);

} // namespace BenchStamp
