// SPDX-License-Identifier: MIT
#include "main/webnavigation.h"

#include "common/globals.h"
#include "main/navigationpolicy.h"

#include <QDebug>
#include <QDesktopServices>

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
    const NavigationPolicy::Decision decision = NavigationPolicy::decide(
        navigation.url, kindOf(navigation.type), navigation.mainFrame, origins());
    if (decision.logUrl)
        qDebug() << (decision.refuse && !decision.openOutside ? "refused:" : "navigation:")
                 << navigation.url.toString();
    if (decision.setsSubSystemLogin)
        g_subSystemLogin = decision.subSystemLogin;
    if (decision.openOutside)
        QDesktopServices::openUrl(navigation.url);
    return !decision.refuse;
}

} // namespace WebNavigation
