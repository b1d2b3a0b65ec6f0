// SPDX-License-Identifier: MIT
#pragma once

class QDialog;

// The benchmarks' time stamps (bench/), taken from outside the windows so that none of them
// carries benchmark code. Does nothing unless ORVANE_BENCH_STAMPS is set.
namespace BenchProbe {

// "first-paint" once the login window has painted itself, "login-reply" once it is accepted.
void watchLogin(QDialog *login);
// "page-loaded" each time the main window's web view finishes a page.
void watchMain(QDialog *mainWindow);

} // namespace BenchProbe
