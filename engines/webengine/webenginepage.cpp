// SPDX-License-Identifier: MIT
#include "engines/webengine/webenginepage.h"

namespace {

// Chromium's types onto the rules' own: a typed address and a redirect count as Other, as
// anything the user did not click or submit.
WebView::NavigationType typeOf(QWebEnginePage::NavigationType type)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeLinkClicked:
        return WebView::NavigationType::LinkClicked;
    case QWebEnginePage::NavigationTypeFormSubmitted:
        return WebView::NavigationType::FormSubmitted;
    case QWebEnginePage::NavigationTypeBackForward:
        return WebView::NavigationType::BackForward;
    case QWebEnginePage::NavigationTypeReload:
        return WebView::NavigationType::Reload;
    default:
        return WebView::NavigationType::Other;
    }
}

} // namespace

WebEnginePage::WebEnginePage(QWebEngineProfile *profile, WebView::NavigationHook decide,
                             QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_decide(std::move(decide))
{
}

QWebEnginePage *WebEnginePage::createWindow(WebWindowType)
{
    return this;
}

bool WebEnginePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    return m_decide({url, typeOf(type), isMainFrame});
}
