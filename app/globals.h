// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Login values shared by the login window and the main window. GUI thread only.
extern QString g_baseUrl;   // service base URL, always ends in "/"
extern QString g_token;     // session token from a password login
extern QString g_userName;  // credentials confirmed by a QR-code login
extern QString g_passWord;
extern bool g_qrLogin;      // true after a QR-code login

// Built-in service base URL, used when conf.ini names none.
QString defaultBaseUrl();
