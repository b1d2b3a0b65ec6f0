// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitview.h"

#include "engines/webkit/cookiejar.h"
#include "engines/webkit/downloadbridge.h"
#include "engines/webkit/webkitdownload.h"
#include "engines/webkit/webkitnetwork.h"
#include "engines/webkit/webpage.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QNetworkReply>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebFrame>
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
    m_page =
        new WebPage([this](const Navigation &navigation) { return acceptNavigation(navigation); });
    m_page->setUserAgentSuffix(settings.userAgentSuffix);
    m_page->setNetworkAccessManager(new WebKitNetwork(settings, m_page));
    // The platform's pages are UTF-8 whatever their headers say.
    m_page->settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
    // What the view cannot show is kept, not lost.
    m_page->setForwardUnsupportedContent(true);
    m_view->setPage(m_page);
    m_downloads = new DownloadBridge(this);
    m_downloads->watch(m_page->mainFrame());
    connect(m_page, &QWebPage::frameCreated, m_downloads, &DownloadBridge::watch);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    watchInput(m_view);

    connect(m_view, &QWebView::titleChanged, this, &WebView::titleChanged);
    connect(m_view, &QWebView::urlChanged, this, &WebView::urlChanged);
    connect(m_view, &QWebView::loadStarted, this, &WebView::loadStarted);
    connect(m_view, &QWebView::loadProgress, this, &WebView::loadProgress);
    connect(m_view, &QWebView::loadFinished, this, &WebView::loadFinished);
    connect(m_page, &QWebPage::printRequested, this, &WebView::printRequested);
    connect(m_page, &QWebPage::unsupportedContent, this, [this](QNetworkReply *reply) {
        download(reply,
                 WebKitDownload::nameFrom(reply->rawHeader("Content-Disposition"), reply->url()));
    });
    connect(m_page, &QWebPage::downloadRequested, this, [this](const QNetworkRequest &request) {
        download(m_page->networkAccessManager()->get(request), request.url().fileName());
    });
    connect(m_downloads, &DownloadBridge::fetchRequested, this,
            [this](const QUrl &url, const QString &name) {
                download(m_page->networkAccessManager()->get(QNetworkRequest(url)), name);
            });
    connect(m_downloads, &DownloadBridge::bytesReady, this,
            [this](const QByteArray &bytes, const QUrl &url, const QString &name) {
                auto *item = new WebKitDownload(bytes, url, name, this);
                emit downloadRequested(item);
            });
}

WebKitView::~WebKitView()
{
    // The page has no parent, as designed: it goes after the view that shows it.
    delete m_view;
    delete m_page;
}

void WebKitView::download(QNetworkReply *reply, const QString &name)
{
    const QString suggested =
        name.isEmpty() ? WebKitDownload::nameFrom(QByteArray(), reply->url()) : name;
    emit downloadRequested(new WebKitDownload(reply, suggested, this));
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

void WebKitView::findText(const QString &text, bool backward)
{
    // The highlight of every match follows the text; the next match is selected.
    m_page->findText(QString(), QWebPage::HighlightAllOccurrences);
    if (text.isEmpty())
        return;
    m_page->findText(text, QWebPage::HighlightAllOccurrences);
    const bool found =
        m_page->findText(text,
                         QWebPage::FindWrapsAroundDocument
                             | (backward ? QWebPage::FindBackward : QWebPage::FindFlags()));
    emit findFinished(found);
}

void WebKitView::copySelection()
{
    m_view->triggerPageAction(QWebPage::Copy);
}

void WebKitView::print()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() == QDialog::Accepted)
        m_view->print(&printer);
}

bool WebKitView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::ContextMenu) {
        const auto *menu = static_cast<QContextMenuEvent *>(event);
        const QWebHitTestResult hit = m_page->mainFrame()->hitTestContent(menu->pos());
        emit contextMenuRequested(menu->globalPos(), hit.linkUrl(), m_page->hasSelection());
        return true;
    }
    return WebView::eventFilter(watched, event);
}

extern "C" Q_DECL_EXPORT WebView *orvaneCreateWebView(const WebView::Settings &settings,
                                                      QWidget *parent)
{
    return new WebKitView(settings, parent);
}

void WebKitView::clearCookies()
{
    if (auto *jar = qobject_cast<CookieJar *>(m_page->networkAccessManager()->cookieJar()))
        jar->clear();
}
