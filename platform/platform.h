// SPDX-License-Identifier: MIT
#pragma once

// The few operating-system calls the programs need, behind one small interface.
// Implemented once for POSIX systems and once for Windows; no Qt here, so the
// Windows side compiles on its own.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace Platform {

enum class InstanceGuard {
    Acquired,       // this process is the only copy
    AlreadyRunning, // another process holds the guard
    Unavailable,    // the guard could not be created
};

// Takes the process-wide guard called name and holds it until the process ends. When another
// process holds it, note (if given) receives what that one recorded with setInstanceGuardNote.
// On POSIX systems the guard is a lock file that must be a regular file of this user, never a
// link: another user's or a planted one is passed over for one in the user's cache folder, and
// why is written to standard error.
InstanceGuard acquireInstanceGuard(const char *name, std::string *note = nullptr);
// Records a short text with the guard this process holds, for a second copy to read; false where
// none is held or nothing can be kept (Windows keeps none).
bool setInstanceGuardNote(const std::string &note);

// The executable file name of a program called baseName on this system
// ("Orvane.exe" on Windows, "Orvane" elsewhere).
std::string executableFileName(const std::string &baseName);

// Whether a running process of this user has the executable file name fileName, ignoring letter
// case. Zombies and other users' processes do not count.
bool isProcessRunning(const std::string &fileName);
// The same for the one process pid.
bool isProcessRunning(long pid, const std::string &fileName);

// The process that started this one, as the system tells it now (on POSIX systems an orphan's
// parent changes to the one that adopted it); 0 where it cannot be told.
long parentProcessId();

// The path of the program fileName that lies in the folder dir ('/' separators).
std::string programPath(const std::string &dir, const std::string &fileName);

// A UDP address and port; IPv4 addresses in their IPv6-mapped form (::ffff:a.b.c.d).
struct UdpEndpoint
{
    std::array<unsigned char, 16> address{};
    unsigned short port = 0;
};

// Whether a socket bound to local receives what is sent to endpoint: the same port, and the
// same address or a wildcard one (:: takes IPv4 too unless it is IPv6 only, which cannot be
// told from outside; counting it errs on the side of refusing).
inline bool isBoundTo(const UdpEndpoint &local, const UdpEndpoint &endpoint)
{
    if (local.port != endpoint.port)
        return false;
    constexpr std::array<unsigned char, 16> anyIpv6{};
    constexpr std::array<unsigned char, 16> anyIpv4{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    const bool endpointIpv4 =
        std::equal(anyIpv4.begin(), anyIpv4.begin() + 12, endpoint.address.begin());
    return local.address == endpoint.address || local.address == anyIpv6
        || (local.address == anyIpv4 && endpointIpv4);
}

// A UDP socket of this machine: where it is bound, and whether it belongs to this user.
struct UdpSocket
{
    UdpEndpoint local;
    bool ours = false;
};
using UdpSockets = std::vector<UdpSocket>;

// The UDP sockets of this machine, IPv4 and IPv6, as the system lists them now; empty where it
// would not tell.
UdpSockets udpSockets();

enum class SocketOwner {
    SameUser,  // every socket that counts belongs to the user this process runs as
    OtherUser, // one of them belongs to someone else
    Unknown,   // none is bound there (any more), or the system would not tell
};

template <typename Counts> SocketOwner ownerAmong(const UdpSockets &sockets, Counts counts)
{
    bool found = false;
    for (const UdpSocket &socket : sockets) {
        if (!counts(socket.local))
            continue;
        if (!socket.ours)
            return SocketOwner::OtherUser;
        found = true;
    }
    return found ? SocketOwner::SameUser : SocketOwner::Unknown;
}

// Who may have sent a datagram from port: every socket bound to that port, on any local
// address. A socket on one local address can send as another (IP_PKTINFO), so another user's
// socket on 127.0.0.2 passes for one on 127.0.0.1.
inline SocketOwner portOwner(const UdpSockets &sockets, unsigned short port)
{
    return ownerAmong(sockets, [port](const UdpEndpoint &local) { return local.port == port; });
}

// Who receives what is sent to endpoint.
inline SocketOwner receiverOwner(const UdpSockets &sockets, const UdpEndpoint &endpoint)
{
    return ownerAmong(sockets,
                      [&endpoint](const UdpEndpoint &local) { return isBoundTo(local, endpoint); });
}

// Whether a child of this process may isolate itself the way Chromium's sandbox does (its own
// user, process and network namespaces, not as root): false as root and where the system
// refuses unprivileged namespaces (some containers).
bool sandboxCanRun();

enum class RenameResult { Renamed, TargetExists, Failed };

// Moves the file from to the path to in one step, and only when nothing is at to: an existing
// file is never replaced.
RenameResult renameNoReplace(const std::string &from, const std::string &to);

// From now on the files and folders this process (and the processes it starts) creates are its
// user's alone; elsewhere nothing changes.
void keepNewFilesPrivate();
// The mode a file the user shares as usual gets (0666 less the mask the process started with),
// for files made for the user (downloads) rather than for the program.
unsigned sharedFileMode();

// While one lives, what the process creates or starts has the mask it started with: a program
// started for the user (the desktop browser, a file's viewer) must not keep its files private.
class SharedFileMask
{
public:
    SharedFileMask();
    ~SharedFileMask();
    SharedFileMask(const SharedFileMask &) = delete;
    SharedFileMask &operator=(const SharedFileMask &) = delete;

private:
    unsigned m_mask = 0;
};

} // namespace Platform
