// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitview.h"

#include "engines/webkit/cookiejar.h"
#include "engines/webkit/downloadbridge.h"
#include "engines/webkit/notificationbridge.h"
#include "engines/webkit/webkitdownload.h"
#include "engines/webkit/webkitnetwork.h"
#include "engines/webkit/webpage.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QNetworkReply>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebFrame>
#include <QWebFullScreenRequest>
#include <QWebSettings>
#include <QWebView>

#include <utility>

WebKitView::WebKitView(const Settings &settings, QWidget *parent)
    : WebView(parent)
    , m_downloadFolder(settings.downloadFolder)
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
    global->setAttribute(QWebSettings::FullScreenSupportEnabled, true);

    m_view = new QWebView(this);
    m_page = new WebPage(
        [this](const Navigation &navigation) {
            const bool accepted = acceptNavigation(navigation);
            // A PDF the user went to opens in the desktop's viewer once it is saved.
            if (accepted && navigation.mainFrame)
                m_userOpened = userActed();
            return accepted;
        },
        settings.platformUrl);
    m_page->setUserAgentSuffix(settings.userAgentSuffix);
    m_page->setNetworkAccessManager(new WebKitNetwork(settings, m_page));
    // The platform's pages are UTF-8 whatever their headers say.
    m_page->settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
    // What the view cannot show is kept, not lost.
    m_page->setForwardUnsupportedContent(true);
    m_view->setPage(m_page);
    // The download bridge for the platform's frames only: a frame of another site would save
    // any file under any name, or switch the platform's downloads off.
    const auto watchFrame = [this, trusted = settings.platformUrl](QWebFrame *frame) {
        DownloadBridge::watch(
            frame, [trusted](const QUrl &url) { return !trusted || trusted(url); },
            [this](DownloadBridge *bridge) {
                // The same pages, the platform's, get notifications.
                connect(NotificationBridge::install(static_cast<QWebFrame *>(bridge->parent())),
                        &NotificationBridge::notificationRequested, this,
                        &WebView::notificationRequested);
                connect(bridge, &DownloadBridge::fetchRequested, this,
                        [this](const QUrl &url, const QString &name) {
                            download(m_page->networkAccessManager()->get(QNetworkRequest(url)),
                                     name);
                        });
                connect(bridge, &DownloadBridge::bytesReady, this,
                        [this](const QByteArray &bytes, const QUrl &url, const QString &name) {
                            emit downloadRequested(new WebKitDownload(bytes, url, name, this));
                        });
            });
    };
    watchFrame(m_page->mainFrame());
    // The clipboard is the page's, not a frame's: it follows the page the main frame shows.
    // Frames of other sites never load in the platform's pages.
    connect(m_page->mainFrame(), &QWebFrame::urlChanged, this,
            [this, trusted = settings.platformUrl](const QUrl &url) {
                m_page->settings()->setAttribute(QWebSettings::JavascriptCanAccessClipboard,
                                                 !trusted || trusted(url));
            });
    // Notifications come through the bridge above: the engine's own would show in a tray icon
    // of its own that nobody can click. Location is nobody's. Asked, never left waiting.
    connect(m_page, &QWebPage::featurePermissionRequested, m_page,
            [this](QWebFrame *frame, QWebPage::Feature feature) {
                m_page->setFeaturePermission(frame, feature, QWebPage::PermissionDeniedByUser);
            });
    connect(m_page, &QWebPage::frameCreated, this, watchFrame);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    watchInput(m_view);

    connect(m_view, &QWebView::titleChanged, this, &WebView::titleChanged);
    connect(m_view, &QWebView::urlChanged, this, &WebView::urlChanged);
    connect(m_view, &QWebView::loadStarted, this, [this] {
        m_page->takeLoadFailure();
        emit loadStarted();
    });
    connect(m_view, &QWebView::loadProgress, this, &WebView::loadProgress);
    connect(m_view, &QWebView::loadFinished, this, [this](bool ok) {
        // QtWebKit ends a stopped or replaced load as failed too; only the page knows better,
        // and it knows why: no request of our own needs to ask the platform again.
        const std::optional<WebPage::LoadFailure> failure = m_page->takeLoadFailure();
        if (ok) {
            emit loadFinished(true);
        } else if (!failure) {
            emit loadCancelled();
        } else {
            if (failure->domain == QWebPage::QtNetwork)
                emit loadError(QNetworkReply::NetworkError(failure->error), 0);
            else if (failure->domain == QWebPage::Http)
                emit loadError(QNetworkReply::NoError, failure->error);
            emit loadFinished(false);
        }
    });
    connect(m_page, &QWebPage::printRequested, this, &WebView::printRequested);
    connect(m_page, &QWebPage::fullScreenRequested, this,
            [this, trusted = settings.platformUrl](QWebFullScreenRequest request) {
                if (request.toggleOn() && trusted && !trusted(request.origin()))
                    return request.reject();
                request.accept();
                setFullScreen(request.toggleOn());
            });
    connect(m_page, &QWebPage::unsupportedContent, this, [this](QNetworkReply *reply) {
        const QByteArray disposition = reply->rawHeader("Content-Disposition");
        const bool attachment = disposition.trimmed().toLower().startsWith("attachment");
        const bool mainFrame = reply->request().originatingObject() == m_page->mainFrame();
        // What a frame embeds to show (a PDF) is no download anybody asked for.
        if (!mainFrame && !attachment) {
            reply->abort();
            reply->deleteLater();
            return;
        }
        const bool pdf = reply->header(QNetworkRequest::ContentTypeHeader)
                             .toString()
                             .startsWith(QLatin1String("application/pdf"));
        download(reply, WebDownload::nameFromResponse(disposition, reply->url()),
                 mainFrame && !attachment && pdf && m_userOpened);
    });
    connect(m_page, &QWebPage::downloadRequested, this, [this](const QNetworkRequest &request) {
        download(m_page->networkAccessManager()->get(request), request.url().fileName());
    });
}

WebKitView::~WebKitView()
{
    // The page has no parent, as designed: it goes after the view that shows it.
    delete m_view;
    delete m_page;
    delete m_fullScreen;
}

void WebKitView::download(QNetworkReply *reply, const QString &name, bool opensWhenDone)
{
    const QString suggested =
        name.isEmpty() ? WebDownload::nameFromResponse(QByteArray(), reply->url()) : name;
    auto *download = new WebKitDownload(reply, suggested, m_downloadFolder, this);
    download->setOpensWhenDone(opensWhenDone);
    emit downloadRequested(download);
}

void WebKitView::setFullScreen(bool on)
{
    // The view moves to a window that fills the screen, and back: the main window stays as it
    // was.
    if (on && !m_fullScreen) {
        m_fullScreen = new QWidget;
        m_fullScreen->installEventFilter(this);
        (new QVBoxLayout(m_fullScreen))->setContentsMargins(0, 0, 0, 0);
        m_fullScreen->layout()->addWidget(m_view);
        // The screen the window is on, also where no window manager makes it full.
        m_fullScreen->setGeometry(screen()->geometry());
        m_fullScreen->showFullScreen();
        m_view->setFocus();
    } else if (!on && m_fullScreen) {
        layout()->addWidget(m_view);
        delete std::exchange(m_fullScreen, nullptr);
        m_view->setFocus();
    }
}

void WebKitView::exitFullScreen()
{
    m_page->mainFrame()->evaluateJavaScript(QStringLiteral("document.webkitExitFullscreen()"));
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

namespace {

// QtWebKit has no action that deletes the selection: the Delete key does it.
constexpr QWebPage::WebAction EditActions[] = {
    QWebPage::Undo,  QWebPage::Redo,        QWebPage::Cut,      QWebPage::Copy,
    QWebPage::Paste, QWebPage::NoWebAction, QWebPage::SelectAll};

} // namespace

void WebKitView::edit(EditAction action)
{
    if (action == EditAction::Delete)
        pressDelete();
    else
        m_view->triggerPageAction(EditActions[int(action)]);
}

bool WebKitView::canEdit(EditAction action) const
{
    // What can be cut can be deleted.
    const QWebPage::WebAction webAction =
        EditActions[int(action == EditAction::Delete ? EditAction::Cut : action)];
    return m_page->action(webAction)->isEnabled();
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
    // Escape, or the window manager closing the window, leaves the full screen. The key comes
    // to the view even where the window is not the active one.
    const bool escape = event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
    if (m_fullScreen && (escape || (watched == m_fullScreen && event->type() == QEvent::Close))) {
        event->ignore();
        exitFullScreen();
        return true;
    }
    if (watched == m_view && event->type() == QEvent::ContextMenu) {
        const auto *menu = static_cast<QContextMenuEvent *>(event);
        const QWebHitTestResult hit = m_page->mainFrame()->hitTestContent(menu->pos());
        emit contextMenuRequested(menu->globalPos(), hit.linkUrl(), m_page->hasSelection(),
                                  hit.isContentEditable(), false);
        return true;
    }
    return WebView::eventFilter(watched, event);
}

void WebKitView::clearCookies()
{
    if (auto *jar = qobject_cast<CookieJar *>(m_page->networkAccessManager()->cookieJar()))
        jar->clear();
}
