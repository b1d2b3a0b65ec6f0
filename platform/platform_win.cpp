// SPDX-License-Identifier: MIT
#include "platform/platform.h"

// <winsock2.h> before <windows.h>, and <windows.h> before the headers that rely on its types.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

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

// The table of UDP sockets for one address family with their owning processes; empty when the
// system would not give it.
std::vector<char> udpTable(ULONG family)
{
    std::vector<char> table;
    DWORD size = 0;
    // The table may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        table.resize(size);
        const DWORD result = GetExtendedUdpTable(table.empty() ? nullptr : table.data(), &size,
                                                 FALSE, family, UDP_TABLE_OWNER_PID, 0);
        if (result == NO_ERROR)
            return table;
        if (result != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    return {};
}

unsigned short portFromNetworkOrder(DWORD port)
{
    return static_cast<unsigned short>(((port & 0xff) << 8) | ((port >> 8) & 0xff));
}

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The user SID of a process's token, as bytes; empty when the process cannot be looked into
// (another user's, or gone).
std::vector<unsigned char> processUserSid(HANDLE process)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken))
        return {};
    const Handle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<const TOKEN_USER *>(buffer.data())->User.Sid;
    if (!IsValidSid(sid))
        return {};
    const auto *bytes = static_cast<const unsigned char *>(sid);
    return std::vector<unsigned char>(bytes, bytes + GetLengthSid(sid));
}

bool runsAsThisUser(DWORD pid, const std::vector<unsigned char> &ownSid)
{
    if (pid == 0)
        return false; // the system could not tell who bound it
    if (pid == GetCurrentProcessId())
        return true;
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    // A process we may not even look into is not one of ours.
    return process && !ownSid.empty() && processUserSid(process.get()) == ownSid;
}

} // namespace

InstanceGuard acquireInstanceGuard(const char *name, std::string *note)
{
    // No note is kept here: a second copy asks at the configured port.
    if (note)
        note->clear();
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

bool setInstanceGuardNote(const std::string &)
{
    return false;
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
    const std::vector<unsigned char> ownSid = processUserSid(GetCurrentProcess());
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(PROCESSENTRY32W);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry)) {
        // Another user's process of that name does not count.
        found = lstrcmpiW(entry.szExeFile, wanted.c_str()) == 0
            && runsAsThisUser(entry.th32ProcessID, ownSid);
    }
    CloseHandle(snapshot);
    return found;
}

bool isProcessRunning(long pid, const std::string &fileName)
{
    if (pid <= 0)
        return false;
    const Handle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    DWORD exitCode = 0;
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!process || !GetExitCodeProcess(process.get(), &exitCode) || exitCode != STILL_ACTIVE
        || !QueryFullProcessImageNameW(process.get(), 0, path, &size))
        return false;
    const std::wstring image(path, size);
    const std::wstring name = image.substr(image.find_last_of(L"\\/") + 1);
    return lstrcmpiW(name.c_str(), widen(fileName).c_str()) == 0
        && processUserSid(process.get()) == processUserSid(GetCurrentProcess());
}

long parentProcessId()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    // Windows keeps the id of a parent that is gone: the caller checks that it still runs.
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(PROCESSENTRY32W);
    long parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && parent == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self)
            parent = static_cast<long>(entry.th32ParentProcessID);
    }
    CloseHandle(snapshot);
    return parent;
}

std::string programPath(const std::string &dir, const std::string &fileName)
{
    return dir + '\\' + fileName;
}

UdpSockets udpSockets()
{
    UdpSockets sockets;
    // Compared by user, not merely by session: two users' processes may share a session. Each
    // process is looked into once, however many sockets it holds.
    const std::vector<unsigned char> ownSid = processUserSid(GetCurrentProcess());
    std::map<DWORD, bool> ours;
    const auto add = [&](const unsigned char *address, size_t size, DWORD port, DWORD pid) {
        UdpSocket socket;
        if (size == 4)
            socket.local.address[10] = socket.local.address[11] = 0xff;
        std::memcpy(socket.local.address.data() + 16 - size, address, size); // in order already
        socket.local.port = portFromNetworkOrder(port);
        const auto known = ours.find(pid);
        socket.ours =
            known != ours.end() ? known->second : (ours[pid] = runsAsThisUser(pid, ownSid));
        sockets.push_back(socket);
    };
    const std::vector<char> v4 = udpTable(AF_INET);
    if (!v4.empty()) {
        const auto *table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID *>(v4.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_UDPROW_OWNER_PID &row = table->table[i];
            add(reinterpret_cast<const unsigned char *>(&row.dwLocalAddr), 4, row.dwLocalPort,
                row.dwOwningPid);
        }
    }
    const std::vector<char> v6 = udpTable(AF_INET6);
    if (!v6.empty()) {
        const auto *table = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID *>(v6.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_UDP6ROW_OWNER_PID &row = table->table[i];
            add(row.ucLocalAddr, 16, row.dwLocalPort, row.dwOwningPid);
        }
    }
    return sockets;
}

RenameResult renameNoReplace(const std::string &from, const std::string &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails where a file exists.
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_COPY_ALLOWED))
        return RenameResult::Renamed;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameResult::TargetExists
                                                                       : RenameResult::Failed;
}

void keepNewFilesPrivate()
{
    // A user's profile folder is the user's already.
}

unsigned sharedFileMode()
{
    return 0666;
}

SharedFileMask::SharedFileMask() = default;

SharedFileMask::~SharedFileMask() = default;

bool sandboxCanRun()
{
    // Chromium's sandbox runs for an administrator too.
    return true;
}

} // namespace Platform
