// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Login values shared by the login window and the main window. GUI thread only.
// The service base URL; always ends in "/".
extern QString g_baseUrl;
// The session token from a password login.
extern QString g_token;
// The account that logged in; a QR-code login, which sets g_qrLogin, also hands over the
// password it confirmed.
extern QString g_userName;
extern QString g_passWord;
extern bool g_qrLogin;

// Built-in service base URL, used when conf.ini names none.
QString defaultBaseUrl();
