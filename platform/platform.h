// SPDX-License-Identifier: MIT
#pragma once

// The few operating-system calls the programs need, behind one small interface.
// Implemented once for POSIX systems and once for Windows; no Qt here, so the
// Windows side compiles on its own.

#include <string>

namespace Platform {

enum class InstanceGuard {
    Acquired,       // this process is the only copy
    AlreadyRunning, // another process holds the guard
    Unavailable,    // the guard could not be created
};

// Takes the process-wide guard called name and holds it until the process ends.
InstanceGuard acquireInstanceGuard(const char *name);

// The executable file name of a program called baseName on this system
// ("Orvane.exe" on Windows, "Orvane" elsewhere).
std::string executableFileName(const std::string &baseName);

// Whether a running process has the executable file name fileName, ignoring letter case.
bool isProcessRunning(const std::string &fileName);

// The path of the program fileName that lies in the folder dir ('/' separators).
std::string programPath(const std::string &dir, const std::string &fileName);

} // namespace Platform
