// SPDX-License-Identifier: MIT
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

// Login tickets of the QR-code login: one per fetched QR image, confirmed later by a
// "phone" (the confirm page or its command-line form) for one account.
class QrTickets
{
public:
    enum class Confirm { Done, NoSuchTicket };

    std::string issue();
    // "latest" stands for the newest ticket.
    Confirm confirm(const std::string &ticket, const std::string &userName);
    // The account that confirmed the ticket; empty while it waits, nullopt if unknown.
    std::optional<std::string> confirmedBy(const std::string &ticket) const;
    // The ticket itself, with "latest" resolved; nullopt if unknown.
    std::optional<std::string> resolve(const std::string &ticket) const;

    static constexpr const char *Latest = "latest";

private:
    struct Ticket
    {
        std::string id;
        std::string userName; // empty until confirmed
    };

    // Newest last; a left-open login window keeps its ticket, so nothing expires by time.
    static constexpr size_t MaxTickets = 256;

    // Index into m_tickets, or -1; the caller holds the lock.
    int indexOf(const std::string &ticket) const;

    mutable std::mutex m_mutex;
    std::deque<Ticket> m_tickets;
};
