// SPDX-License-Identifier: MIT
#pragma once

// Linux keeps its UDP sockets in /proc/net/udp and /proc/net/udp6, one line each with the
// local address and port and the owner's uid. Plain text in, no files read here, so a table
// test can feed it any line.

#include "platform/platform.h"

#include <optional>
#include <string_view>

namespace Platform {

struct ProcUdpSocket
{
    UdpEndpoint local;
    unsigned long uid = 0;
};

// One line of either table; nothing for the heading or a line that does not parse.
std::optional<ProcUdpSocket> parseProcNetUdpLine(std::string_view line);

// The owner of the socket bound to endpoint, as the tables' text (both may be given one after
// the other) tells it to the user uid.
SocketOwner udpSocketOwnerIn(std::string_view tables, const UdpEndpoint &endpoint,
                             unsigned long uid);

} // namespace Platform
