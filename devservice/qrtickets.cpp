// SPDX-License-Identifier: MIT
#include "devservice/qrtickets.h"

#include "devservice/sessionstore.h"

std::string QrTickets::issue()
{
    Ticket ticket{randomHex(12), {}};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tickets.push_back(ticket);
    if (m_tickets.size() > MaxTickets)
        m_tickets.pop_front();
    return ticket.id;
}

int QrTickets::indexOf(const std::string &ticket) const
{
    if (ticket == Latest)
        return static_cast<int>(m_tickets.size()) - 1;
    for (size_t i = 0; i < m_tickets.size(); ++i) {
        if (m_tickets[i].id == ticket)
            return static_cast<int>(i);
    }
    return -1;
}

QrTickets::Confirm QrTickets::confirm(const std::string &ticket, const std::string &userName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int index = indexOf(ticket);
    if (index < 0)
        return Confirm::NoSuchTicket;
    m_tickets[static_cast<size_t>(index)].userName = userName;
    return Confirm::Done;
}

std::optional<std::string> QrTickets::confirmedBy(const std::string &ticket) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int index = indexOf(ticket);
    if (index < 0)
        return std::nullopt;
    return m_tickets[static_cast<size_t>(index)].userName;
}

std::optional<std::string> QrTickets::resolve(const std::string &ticket) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int index = indexOf(ticket);
    if (index < 0)
        return std::nullopt;
    return m_tickets[static_cast<size_t>(index)].id;
}
