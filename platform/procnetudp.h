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

// Every socket the tables' text (both may be given one after the other) lists, as the user uid
// sees them.
UdpSockets parseProcNetUdp(std::string_view tables, unsigned long uid);

} // namespace Platform
