// SPDX-License-Identifier: MIT
#include "devservice/accounts.h"

const std::vector<DemoAccount> &demoAccounts()
{
    // The third password holds the characters that break naive URL building.
    static const std::vector<DemoAccount> accounts = {
        {"13800000001", "demo123", "王老师", "语文"},
        {"13900000002", "demo456", "李老师", "数学"},
        {"13700000003", "a&b#c+d e%", "赵老师", "英语"},
    };
    return accounts;
}

const DemoAccount *findAccount(const std::string &userName)
{
    for (const DemoAccount &account : demoAccounts()) {
        if (account.userName == userName)
            return &account;
    }
    return nullptr;
}
