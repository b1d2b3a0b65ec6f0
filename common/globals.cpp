// SPDX-License-Identifier: MIT
#include "common/globals.h"

QString g_baseUrl = defaultBaseUrl();
QString g_token;
QString g_userName;
QString g_passWord;
bool g_qrLogin = false;

QString defaultBaseUrl()
{
    return QStringLiteral(ORVANE_BASE_URL);
}
