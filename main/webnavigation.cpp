// SPDX-License-Identifier: MIT
#include "main/webnavigation.h"

#include "common/globals.h"
#include "common/logsafe.h"
#include "main/navigationpolicy.h"
#include "platform/platform.h"

#include <QDebug>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHash>

bool g_subSystemLogin = false;

namespace WebNavigation {

namespace {

NavigationPolicy::Kind kindOf(WebView::NavigationType type)
{
    switch (type) {
    case WebView::NavigationType::LinkClicked:
        return NavigationPolicy::Kind::LinkClicked;
    case WebView::NavigationType::FormSubmitted:
        return NavigationPolicy::Kind::FormSubmitted;
    case WebView::NavigationType::BackForward:
        return NavigationPolicy::Kind::BackForward;
    case WebView::NavigationType::Reload:
        return NavigationPolicy::Kind::Reload;
    case WebView::NavigationType::Other:
    case WebView::NavigationType::Redirect:
        break;
    }
    return NavigationPolicy::Kind::Other;
}

// The base URL is g_baseUrl's at the time of asking; the trusted hosts are set once.
NavigationPolicy::Origins &origins()
{
    static NavigationPolicy::Origins origins;
    origins.baseUrl = g_baseUrl;
    return origins;
}

// The same address at most once in OpenAgainAfterMs: a double click, or a page that clicks for
// the user, opens the desktop browser once.
constexpr qint64 OpenAgainAfterMs = 2000;

bool openedRecently(const QUrl &url)
{
    static QHash<QUrl, qint64> opened;
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    const qint64 now = clock.elapsed();
    for (auto it = opened.begin(); it != opened.end();)
        it = now - it.value() >= OpenAgainAfterMs ? opened.erase(it) : std::next(it);
    if (opened.contains(url))
        return true;
    opened.insert(url, now);
    return false;
}

void openForTheUser(const QUrl &url)
{
    // The desktop browser is the user's: it does not keep its files private as Orvane does.
    const Platform::SharedFileMask forTheUser;
    QDesktopServices::openUrl(url);
}

} // namespace

void setTrustedHosts(const QStringList &hosts)
{
    origins().trustedHosts = hosts;
}

bool isPlatformUrl(const QUrl &url)
{
    return origins().contains(url);
}

bool handle(const WebView::Navigation &navigation)
{
    const NavigationPolicy::Decision decision =
        NavigationPolicy::decide(navigation.url, kindOf(navigation.type), navigation.mainFrame,
                                 origins(), navigation.userActed);
    if (decision.logUrl)
        qDebug().noquote() << (decision.refuse && !decision.openOutside ? "refused:"
                                                                        : "navigation:")
                           << LogSafe::url(navigation.url);
    if (decision.setsSubSystemLogin)
        g_subSystemLogin = decision.subSystemLogin;
    if (decision.openOutside && openedRecently(navigation.url))
        qDebug().noquote() << "not opened again so soon:" << LogSafe::url(navigation.url);
    else if (decision.openOutside)
        openForTheUser(navigation.url);
    return !decision.refuse;
}

} // namespace WebNavigation
