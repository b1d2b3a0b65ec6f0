// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Which navigations of the main window's web view load there, which leave for the desktop
// browser, and which are refused: the platform's own link and form rules first, then the
// platform's origins.
namespace NavigationPolicy {

// Host of the online viewer through which the platform previews office documents.
inline constexpr char OfficeViewerHost[] = "view.officeapps.live.com";

enum class Kind { LinkClicked, FormSubmitted, BackForward, Reload, Other };

// The platform's origins: the base URL's scheme, host and port; the host's subdomains, when it
// is a name, on the same scheme and port; and what conf.ini's service/trustedHosts names: an
// entry "host" trusts that host and its subdomains on http and https at any port, "host:port"
// that port only. A blob: URL belongs to the origin that made it.
struct Origins
{
    QString baseUrl; // as the platform's own rules compare it, ending in "/"
    QStringList trustedHosts;

    bool contains(const QUrl &url) const;
};

struct Decision
{
    bool openOutside = false;        // hand the URL to the desktop's browser or mail client
    bool refuse = false;             // the view does not load it
    bool setsSubSystemLogin = false; // a clicked link: subSystemLogin holds the new flag
    bool subSystemLogin = false;
    bool logUrl = false;
};

// The platform's rules test the URL's text (Qt's default string form) for plain,
// case-sensitive substrings and equalities, never parsing it; the origins are parsed.
// userActed: the user clicked or pressed a key in the view within the last second; nothing is
// handed to the desktop without it.
Decision decide(const QUrl &url, Kind kind, bool mainFrame, const Origins &origins,
                bool userActed = true);

} // namespace NavigationPolicy
