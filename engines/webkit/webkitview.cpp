// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitview.h"

#include "engines/webkit/webkitnetwork.h"
#include "engines/webkit/webpage.h"

#include <QDir>
#include <QVBoxLayout>
#include <QWebHistory>
#include <QWebSettings>
#include <QWebView>

WebKitView::WebKitView(const Settings &settings, QWidget *parent)
    : WebView(parent)
{
    // Local storage and the other databases persist in the user's storage folder.
    QDir().mkpath(settings.storagePath);
    QWebSettings::enablePersistentStorage(settings.storagePath);
    // Without the icon database that comes with it: no page asks for a favicon.
    QWebSettings::setIconDatabasePath(QString());
    QWebSettings *global = QWebSettings::globalSettings();
    global->setAttribute(QWebSettings::LocalStorageEnabled, true);
    global->setAttribute(QWebSettings::DeveloperExtrasEnabled, false);
    global->setAttribute(QWebSettings::PluginsEnabled, false);

    m_view = new QWebView(this);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_page =
        new WebPage([this](const Navigation &navigation) { return acceptNavigation(navigation); });
    m_page->setUserAgentSuffix(settings.userAgentSuffix);
    m_page->setNetworkAccessManager(new WebKitNetwork(settings, m_page));
    // The platform's pages are UTF-8 whatever their headers say.
    m_page->settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
    m_view->setPage(m_page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);

    connect(m_view, &QWebView::titleChanged, this, &WebView::titleChanged);
    connect(m_view, &QWebView::urlChanged, this, &WebView::urlChanged);
    connect(m_view, &QWebView::loadStarted, this, &WebView::loadStarted);
    connect(m_view, &QWebView::loadProgress, this, &WebView::loadProgress);
    connect(m_view, &QWebView::loadFinished, this, &WebView::loadFinished);
}

WebKitView::~WebKitView()
{
    // The page has no parent, as designed: it goes after the view that shows it.
    delete m_view;
    delete m_page;
}

void WebKitView::load(const QUrl &url)
{
    m_view->load(url);
}

QUrl WebKitView::url() const
{
    return m_view->url();
}

QString WebKitView::title() const
{
    return m_view->title();
}

void WebKitView::reload(bool bypassCache)
{
    m_view->triggerPageAction(bypassCache ? QWebPage::ReloadAndBypassCache : QWebPage::Reload);
}

void WebKitView::back()
{
    m_view->back();
}

void WebKitView::forward()
{
    m_view->forward();
}

void WebKitView::stop()
{
    m_view->stop();
}

qreal WebKitView::zoomFactor() const
{
    return m_view->zoomFactor();
}

void WebKitView::setZoomFactor(qreal factor)
{
    m_view->setZoomFactor(factor);
}

extern "C" Q_DECL_EXPORT WebView *orvaneCreateWebView(const WebView::Settings &settings,
                                                      QWidget *parent)
{
    return new WebKitView(settings, parent);
}
