// SPDX-License-Identifier: MIT
#include "engines/webengine/platformprofile.h"

#include "engines/webengine/requestfilter.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <utility>

namespace {

// Chromium reads its switches once, as it starts with the first profile.
void prepareChromium()
{
    static bool prepared = false;
    if (std::exchange(prepared, true))
        return;
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // Every page's referrer policy strict-origin-when-cross-origin: another origin learns the
    // platform's origin at most, never the start page's address with its token, neither in a
    // request nor in document.referrer.
    flags += " --enable-features=ReducedReferrerGranularity";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    // On Linux Chromium hands the page's accessibility tree to Qt only when told to, and a screen
    // reader then finds an empty document. The tree is built only while a reader listens.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

} // namespace

namespace PlatformProfile {

QWebEngineProfile *make(const WebView::Settings &settings, QObject *parent)
{
    prepareChromium();
    // A named profile: cookies and local storage persist in the storage folder.
    auto *profile = new QWebEngineProfile(QStringLiteral("Orvane"), parent);
    profile->setPersistentStoragePath(settings.storagePath + QStringLiteral("/webengine"));
    profile->setCachePath(settings.storagePath + QStringLiteral("/webengine-cache"));
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    profile->setHttpUserAgent(profile->httpUserAgent() + settings.userAgentSuffix);
    profile->setUrlRequestInterceptor(new RequestFilter(profile));

    QWebEngineSettings *web = profile->settings();
    web->setDefaultTextEncoding(QStringLiteral("utf-8"));
    web->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
    // As QtWebKit's: a script opens a window only from a click, and into this view.
    web->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Debian's Chromium has no plugin but its PDF viewer: PDFs show in the view, links to them
    // and embedded ones alike.
    web->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    web->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    web->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    return profile;
}

} // namespace PlatformProfile
