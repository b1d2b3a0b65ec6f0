// SPDX-License-Identifier: MIT
#pragma once

#include "common/appconfig.h"

#include <QStringList>

#include <string>

// The pair of UDP ports Orvane and its OrvaneTool talk on: the configured pair, unless another
// user's programs hold one of its ports (on any local address: their own copies, say). Then
// Orvane picks two free ports, records them with its single-instance guard for a second copy
// of the same user to find, and starts its tool with "--ports <tool> <main>".
namespace ChannelPorts {

struct Ports
{
    int tool = AppConfig::DefaultToolPort;
    int main = AppConfig::DefaultMainPort;

    bool operator==(const Ports &other) const { return tool == other.tool && main == other.main; }
};

Ports configured(const AppConfig::Config &config);

// Orvane, once it holds its single-instance guard: this run's pair, recorded with the guard.
Ports chooseForThisRun(const AppConfig::Config &config);
// The pair chooseForThisRun() gave; the configured one where it did not run.
Ports thisRun(const AppConfig::Config &config);
// What starts this run's tool: "--ports <tool> <main>" for a pair of its own, nothing for the
// configured one.
QStringList toolArguments();

// The record kept with the guard, and a second copy's reading of it: the running copy's pair,
// or the configured one when there is no record.
std::string note(const Ports &ports);
Ports ofRunningCopy(const std::string &note, const AppConfig::Config &config);
// OrvaneTool: the pair its arguments name, else the configured one.
Ports fromArguments(const QStringList &arguments, const AppConfig::Config &config);

} // namespace ChannelPorts
