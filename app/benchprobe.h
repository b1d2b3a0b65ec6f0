// SPDX-License-Identifier: MIT
#pragma once

class QDialog;

// The benchmarks' time stamps (bench/), taken from outside the windows so that none of them
// carries benchmark code. Does nothing unless ORVANE_BENCH_STAMPS is set.
namespace BenchProbe {

// "first-paint" once the login window has painted itself, "login-reply" once it is accepted.
void watchLogin(QDialog *login);
// "main-window" once it is built (while it was, the engine loader stamped "engine-loaded" and
// "view-made"), then "page-loaded" each time its web view finishes a page.
void watchMain(QDialog *mainWindow);

} // namespace BenchProbe
