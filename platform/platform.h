// SPDX-License-Identifier: MIT
#pragma once

// The few operating-system calls the programs need, behind one small interface.
// Implemented once for POSIX systems and once for Windows; no Qt here, so the
// Windows side compiles on its own.

#include <algorithm>
#include <array>
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

// Whether a socket bound to local receives at, and sends from, endpoint: the same port, and the
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

enum class SocketOwner {
    SameUser,  // every socket bound there belongs to the user this process runs as
    OtherUser, // one of them belongs to someone else
    Unknown,   // none is bound there (any more), or the system would not tell
};

// Who owns the UDP socket of this machine bound to endpoint: for a datagram, the socket that
// sent it, found by its sender address and port.
SocketOwner udpSocketOwner(const UdpEndpoint &endpoint);

} // namespace Platform
