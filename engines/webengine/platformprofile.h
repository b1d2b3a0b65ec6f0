// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

class QObject;
class QWebEngineProfile;

// The platform's profile: cookies and storage on disk, the request filter, the page settings.
namespace PlatformProfile {

QWebEngineProfile *make(const WebView::Settings &settings, QObject *parent);

} // namespace PlatformProfile
