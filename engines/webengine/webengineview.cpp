// SPDX-License-Identifier: MIT
#include "engines/webengine/webengineview.h"

#include "engines/webengine/contextmenurequest.h"
#include "engines/webengine/downloadrequest.h"
#include "engines/webengine/findtextresult.h"
#include "engines/webengine/pageview.h"
#include "engines/webengine/platformprofile.h"
#include "engines/webengine/webenginedownload.h"
#include "engines/webengine/webenginepage.h"

#include <QContextMenuEvent>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <functional>
#include <utility>

namespace {

// Chromium fills in what is under the pointer only for the view's own context-menu event.
class ChromiumView final : public QWebEngineView
{
public:
    using Menu = std::function<void(const QPoint &globalPos, const ContextMenuRequest &)>;

    ChromiumView(Menu menu, QWidget *parent)
        : QWebEngineView(parent)
        , m_menu(std::move(menu))
    {
    }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        if (const ContextMenuRequest *request = contextMenuRequest(this))
            m_menu(event->globalPos(), *request);
    }

private:
    const Menu m_menu;
};

WebView::Feature featureOf(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::Notifications:
        return WebView::Feature::Notifications;
    case QWebEnginePage::MediaAudioCapture:
        return WebView::Feature::Microphone;
    case QWebEnginePage::MediaVideoCapture:
        return WebView::Feature::Camera;
    case QWebEnginePage::MediaAudioVideoCapture:
        return WebView::Feature::CameraAndMicrophone;
    case QWebEnginePage::Geolocation:
        return WebView::Feature::Location;
    default:
        return WebView::Feature::Other;
    }
}

} // namespace

WebEngineView::WebEngineView(const Settings &settings, QWidget *parent)
    : WebView(parent)
    , m_platformUrl(settings.platformUrl ? settings.platformUrl : [](const QUrl &) { return true; })
{
    m_profile = PlatformProfile::make(settings, this);
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, &WebEngineView::download);

    // Granted to the platform's origins only (below): a notification of anyone else is dropped.
    m_profile->setNotificationPresenter([this](std::unique_ptr<QWebEngineNotification> note) {
        if (m_platformUrl(note->origin()))
            emit notificationRequested(note->title(), note->message());
    });

    m_page = new WebEnginePage(
        m_profile, [this](const Navigation &navigation) { return acceptNavigation(navigation); },
        settings.platformUrl, this);
    m_view = new ChromiumView(
        [this](const QPoint &globalPos, const ContextMenuRequest &data) {
            // Chromium's PDF viewer has no buttons of its own for saving or printing here.
            emit contextMenuRequested(
                globalPos, data.linkUrl(), !data.selectedText().isEmpty(), data.isContentEditable(),
                data.mediaType() == ContextMenuRequest::MediaTypePlugin
                    && data.mediaFlags().testFlag(ContextMenuRequest::MediaCanSave));
        },
        this);
    m_view->setPage(m_page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    watchInput(m_view);

    connect(m_view, &QWebEngineView::titleChanged, this, &WebView::titleChanged);
    connect(m_view, &QWebEngineView::urlChanged, this, &WebView::urlChanged);
    // A navigation the rules refuse still starts and fails a load on Chromium, and one that
    // stop() ends fails too: neither is a page that could not be had.
    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        m_stopping = false;
        if (m_page->hasRefused())
            m_refusedLoad = true;
        else
            emit loadStarted();
    });
    connect(m_view, &QWebEngineView::loadProgress, this, &WebView::loadProgress);
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        const bool refused = m_page->takeRefusal();
        if (std::exchange(m_refusedLoad, false))
            return;
        if (!ok && (std::exchange(m_stopping, false) || refused))
            emit loadCancelled();
        else
            emit loadFinished(ok);
    });
    connect(m_page, &QWebEnginePage::printRequested, this, &WebView::printRequested);
    // The clipboard is the page's, not a frame's: it follows the page the main frame shows.
    // Frames of other sites never load in the platform's pages.
    connect(m_view, &QWebEngineView::urlChanged, this, [this](const QUrl &url) {
        for (const auto attribute : {QWebEngineSettings::JavascriptCanAccessClipboard,
                                     QWebEngineSettings::JavascriptCanPaste})
            m_page->settings()->setAttribute(attribute, m_platformUrl(url));
    });
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                decidePermission(
                    origin, featureOf(feature), m_platformUrl(origin),
                    [page = QPointer<QWebEnginePage>(m_page), origin, feature](bool granted) {
                        if (page)
                            page->setFeaturePermission(
                                origin, feature,
                                granted ? QWebEnginePage::PermissionGrantedByUser
                                        : QWebEnginePage::PermissionDeniedByUser);
                    });
            });
    connect(m_page, &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) {
                if (request.toggleOn() && !m_platformUrl(request.origin()))
                    return request.reject();
                request.accept();
                setFullScreen(request.toggleOn());
            });
}

WebEngineView::~WebEngineView()
{
    // The page must go before its profile.
    delete m_fullScreen;
    delete m_view;
    delete m_page;
}

void WebEngineView::download(QWebEngineDownloadRequest *item)
{
    // The PDF viewer's own save comes from a page Chromium keeps to itself (none for Qt).
    if (item->page() && item->page() != m_page)
        return;
    // Asked about again after a broken connection: no second question to the user.
    if (const QPointer<WebEngineDownload> asked = m_downloads.value(item->id())) {
        asked->broken();
        item->cancel();
        return;
    }
    // Decided within the signal: an item not accepted by then is cancelled.
    auto *download = new WebEngineDownload(item, this);
    // The items whose downloads are gone with their rows are forgotten.
    for (auto it = m_downloads.begin(); it != m_downloads.end();)
        it = it->isNull() ? m_downloads.erase(it) : std::next(it);
    m_downloads.insert(item->id(), download);
    emit downloadRequested(download);
    if (!download->started()) {
        download->cancel();
        download->deleteLater();
    }
}

void WebEngineView::setFullScreen(bool on)
{
    // The page moves to a window that fills the screen, and back: the main window stays as it
    // was.
    if (on && !m_fullScreen) {
        m_fullScreen = new QWebEngineView;
        m_fullScreen->installEventFilter(this);
        connect(new QShortcut(Qt::Key_Escape, m_fullScreen), &QShortcut::activated, m_page,
                [this] { m_page->triggerAction(QWebEnginePage::ExitFullScreen); });
        m_fullScreen->setPage(m_page);
        // The screen the window is on, also where no window manager makes it full.
        m_fullScreen->setGeometry(screen()->geometry());
        m_fullScreen->showFullScreen();
    } else if (!on && m_fullScreen) {
        // Back while the other view still holds it, as Chromium's contents move between views.
        m_view->setPage(m_page);
        std::exchange(m_fullScreen, nullptr)->deleteLater();
    }
}

bool WebEngineView::eventFilter(QObject *watched, QEvent *event)
{
    // Closed by the window manager: the page leaves the full screen instead.
    if (watched == m_fullScreen && event->type() == QEvent::Close) {
        event->ignore();
        m_page->triggerAction(QWebEnginePage::ExitFullScreen);
        return true;
    }
    return WebView::eventFilter(watched, event);
}

void WebEngineView::load(const QUrl &url)
{
    m_view->load(url);
}

QUrl WebEngineView::url() const
{
    return m_view->url();
}

QString WebEngineView::title() const
{
    return m_view->title();
}

void WebEngineView::reload(bool bypassCache)
{
    m_page->triggerAction(bypassCache ? QWebEnginePage::ReloadAndBypassCache
                                      : QWebEnginePage::Reload);
}

void WebEngineView::back()
{
    m_view->back();
}

void WebEngineView::forward()
{
    m_view->forward();
}

void WebEngineView::stop()
{
    m_stopping = true;
    m_view->stop();
}

qreal WebEngineView::zoomFactor() const
{
    return m_view->zoomFactor();
}

void WebEngineView::setZoomFactor(qreal factor)
{
    m_view->setZoomFactor(factor);
}

void WebEngineView::findText(const QString &text, bool backward)
{
    if (text.isEmpty()) {
        m_page->findText(QString());
        return;
    }
    m_page->findText(
        text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
        [this](const auto &result) { emit findFinished(FindTextResult::found(result)); });
}

void WebEngineView::edit(EditAction action)
{
    switch (action) {
    case EditAction::Undo:
        return m_page->triggerAction(QWebEnginePage::Undo);
    case EditAction::Redo:
        return m_page->triggerAction(QWebEnginePage::Redo);
    case EditAction::Cut:
        return m_page->triggerAction(QWebEnginePage::Cut);
    case EditAction::Copy:
        return m_page->triggerAction(QWebEnginePage::Copy);
    case EditAction::Paste:
        return m_page->triggerAction(QWebEnginePage::Paste);
    case EditAction::Delete:
        return pressDelete();
    case EditAction::SelectAll:
        return m_page->triggerAction(QWebEnginePage::SelectAll);
    }
}

bool WebEngineView::canEdit(EditAction action) const
{
    // As Chromium found the field when the menu was asked for.
    static constexpr ContextMenuRequest::EditFlag flags[] = {
        ContextMenuRequest::CanUndo,     ContextMenuRequest::CanRedo,
        ContextMenuRequest::CanCut,      ContextMenuRequest::CanCopy,
        ContextMenuRequest::CanPaste,    ContextMenuRequest::CanDelete,
        ContextMenuRequest::CanSelectAll};
    const ContextMenuRequest *request = contextMenuRequest(m_view);
    return request && request->editFlags().testFlag(flags[int(action)]);
}

void WebEngineView::saveDocument()
{
    m_page->triggerAction(QWebEnginePage::DownloadMediaToDisk);
}

void WebEngineView::print()
{
    // Printing goes on after the dialog: the printer lives until the page is done with it.
    auto *printer = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(printer, window());
    if (dialog.exec() != QDialog::Accepted) {
        delete printer;
        return;
    }
    PageView::print(m_view, printer, [printer](bool) { delete printer; });
}

void WebEngineView::clearCookies()
{
    m_profile->cookieStore()->deleteAllCookies();
}
