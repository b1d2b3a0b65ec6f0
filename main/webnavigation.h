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

} // namespace WebNavigation
