// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

// True when the most recent clicked link led into another part of the platform
// ("dedeLogin", "zariLogin"); the "directClassroom" command reads and clears it.
extern bool g_subSystemLogin;

// What the main window does with each navigation of its view, whichever engine asks: the
// navigation rules decide, the desktop browser gets what is to be opened outside.
namespace WebNavigation {

// False when the view must not load it.
bool handle(const WebView::Navigation &navigation);

// Hosts beyond the base URL's whose pages the view may show (conf.ini service/trustedHosts).
void setTrustedHosts(const QStringList &hosts);
// Whether the URL is one of the platform's: requests elsewhere carry no Referer.
bool isPlatformUrl(const QUrl &url);

} // namespace WebNavigation
