// SPDX-License-Identifier: MIT
#include "platform/platform.h"

// <windows.h> must come first: <tlhelp32.h> relies on its types.
#include <windows.h>

#include <tlhelp32.h>

namespace Platform {

namespace {

std::wstring widen(const std::string &text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

} // namespace

InstanceGuard acquireInstanceGuard(const char *name)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    if (!mutex)
        return InstanceGuard::Unavailable;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return InstanceGuard::AlreadyRunning;
    }
    // The handle stays open for the life of the process.
    return InstanceGuard::Acquired;
}

std::string executableFileName(const std::string &baseName)
{
    return baseName + ".exe";
}

bool isProcessRunning(const std::string &fileName)
{
    const std::wstring wanted = widen(fileName);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(PROCESSENTRY32W);
    if (!Process32FirstW(snapshot, &entry)) {
        CloseHandle(snapshot);
        return false;
    }
    do {
        if (lstrcmpiW(entry.szExeFile, wanted.c_str()) == 0) {
            CloseHandle(snapshot);
            return true;
        }
    } while (Process32NextW(snapshot, &entry));
    CloseHandle(snapshot);
    return false;
}

std::string programPath(const std::string &dir, const std::string &fileName)
{
    return dir + '\\' + fileName;
}

} // namespace Platform
