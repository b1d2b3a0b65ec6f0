// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Which navigations of the main window's web view leave for the desktop browser.
namespace NavigationPolicy {

// Host of the online viewer through which the platform previews office documents.
inline constexpr char OfficeViewerHost[] = "view.officeapps.live.com";

enum class Kind {
    LinkClicked,
    FormSubmitted,
    Other, // back, forward, reload, resubmission, script
};

struct Decision
{
    bool openOutside = false;        // hand the URL to the desktop browser, keep the view
    bool setsSubSystemLogin = false; // a clicked link: subSystemLogin holds the new flag
    bool subSystemLogin = false;
    bool logUrl = false;
};

// urlText is the URL in Qt's default string form; the tests are plain, case-sensitive
// substring and equality tests on it, never a parse.
Decision decide(const QString &urlText, Kind kind, bool mainFrame, const QString &baseUrl,
                const QString &officeViewerHost = QLatin1String(OfficeViewerHost));

} // namespace NavigationPolicy
