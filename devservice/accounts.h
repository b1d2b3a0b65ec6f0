// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// The fixed accounts of the demo service.
struct DemoAccount
{
    std::string userName; // an 11-digit phone number, as the login form asks for
    std::string password;
    std::string displayName;
    std::string subject;
};

const std::vector<DemoAccount> &demoAccounts();
// The account with that user name, or nullptr.
const DemoAccount *findAccount(const std::string &userName);
