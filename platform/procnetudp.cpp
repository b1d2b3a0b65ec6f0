// SPDX-License-Identifier: MIT
#include "platform/procnetudp.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace Platform {

namespace {

template <typename T> bool parseNumber(std::string_view text, T &value, int base)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// The next field separated by spaces, taken off the front of text.
std::string_view nextField(std::string_view &text)
{
    const auto start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(start);
    const auto end = std::min(text.find(' '), text.size());
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end);
    return field;
}

// "0100007F:9DB0" or 32 hex digits and a port: the kernel prints the address as 32-bit words
// in this machine's byte order, so each word goes back into memory as it came.
bool parseAddress(std::string_view field, UdpEndpoint &endpoint)
{
    const auto colon = field.find(':');
    if (colon == std::string_view::npos || !parseNumber(field.substr(colon + 1), endpoint.port, 16))
        return false;
    const std::string_view hex = field.substr(0, colon);
    if (hex.size() != 8 && hex.size() != 32)
        return false;
    unsigned char *bytes = endpoint.address.data();
    if (hex.size() == 8) {
        endpoint.address = {};
        endpoint.address[10] = endpoint.address[11] = 0xff; // IPv4, in its mapped form
        bytes += 12;
    }
    for (size_t i = 0; i < hex.size(); i += 8) {
        std::uint32_t word = 0;
        if (!parseNumber(hex.substr(i, 8), word, 16))
            return false;
        std::memcpy(bytes + i / 2, &word, sizeof word);
    }
    return true;
}

} // namespace

std::optional<ProcUdpSocket> parseProcNetUdpLine(std::string_view line)
{
    // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid ...
    ProcUdpSocket socket;
    std::string_view fields[8];
    for (std::string_view &field : fields)
        field = nextField(line);
    if (fields[0].empty() || fields[0].back() != ':' || !parseAddress(fields[1], socket.local)
        || !parseNumber(fields[7], socket.uid, 10))
        return std::nullopt;
    return socket;
}

UdpSockets parseProcNetUdp(std::string_view tables, unsigned long uid)
{
    UdpSockets sockets;
    while (!tables.empty()) {
        const auto end = std::min(tables.find('\n'), tables.size());
        if (const auto socket = parseProcNetUdpLine(tables.substr(0, end)))
            sockets.push_back({socket->local, socket->uid == uid});
        tables.remove_prefix(std::min(end + 1, tables.size()));
    }
    return sockets;
}

} // namespace Platform
