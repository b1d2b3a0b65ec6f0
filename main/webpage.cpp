// SPDX-License-Identifier: MIT
#include "main/webpage.h"

#include "common/globals.h"
#include "main/navigationpolicy.h"

#include <QDebug>
#include <QDesktopServices>
#include <QNetworkRequest>

bool g_subSystemLogin = false;

namespace {

NavigationPolicy::Kind kindOf(QWebPage::NavigationType type)
{
    switch (type) {
    case QWebPage::NavigationTypeLinkClicked:
        return NavigationPolicy::Kind::LinkClicked;
    case QWebPage::NavigationTypeFormSubmitted:
        return NavigationPolicy::Kind::FormSubmitted;
    default:
        return NavigationPolicy::Kind::Other;
    }
}

} // namespace

WebPage::WebPage(QObject *parent)
    : QWebPage(parent)
{
}

WebPage::~WebPage() = default;

QWebPage *WebPage::createWindow(WebWindowType)
{
    return this;
}

bool WebPage::acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request,
                                      NavigationType type)
{
    const QString url = request.url().toString();
    const NavigationPolicy::Decision decision =
        NavigationPolicy::decide(url, kindOf(type), frame == mainFrame(), g_baseUrl);
    if (decision.logUrl)
        qDebug() << url;
    if (decision.setsSubSystemLogin)
        g_subSystemLogin = decision.subSystemLogin;
    if (decision.openOutside) {
        QDesktopServices::openUrl(request.url());
        return false;
    }
    return QWebPage::acceptNavigationRequest(frame, request, type);
}
