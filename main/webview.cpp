// SPDX-License-Identifier: MIT
#include "main/webview.h"

WebView::WebView(QWidget *parent)
    : QWidget(parent)
{
    qRegisterMetaType<WebView::LoadError>();
}

void WebView::setNavigationHook(NavigationHook hook)
{
    m_hook = std::move(hook);
}

bool WebView::acceptNavigation(const Navigation &navigation) const
{
    return !m_hook || m_hook(navigation);
}
