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
    default:
        return NavigationPolicy::Kind::Other;
    }
}

} // namespace

bool handle(const WebView::Navigation &navigation)
{
    const QString url = navigation.url.toString();
    const NavigationPolicy::Decision decision =
        NavigationPolicy::decide(url, kindOf(navigation.type), navigation.mainFrame, g_baseUrl);
    if (decision.logUrl)
        qDebug() << url;
    if (decision.setsSubSystemLogin)
        g_subSystemLogin = decision.subSystemLogin;
    if (decision.openOutside) {
        QDesktopServices::openUrl(navigation.url);
        return false;
    }
    return true;
}

} // namespace WebNavigation
