// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

class QObject;
class QWebEngineProfile;

// Chromium's start and the platform's profile on disk are the slowest part of showing the first
// page; they are begun while the login request is in flight, and the main window's view takes
// them over.
namespace WarmStart {

// Starts Chromium with the platform's profile, owner's until a view takes it; once per process.
void begin(const WebView::Settings &settings, QObject *owner);

// The profile begin() made, now parent's; a new one when nothing was begun.
QWebEngineProfile *takeProfile(const WebView::Settings &settings, QObject *parent);

} // namespace WarmStart
