// SPDX-License-Identifier: MIT
#include "engines/webengine/webengineview.h"

#include "engines/webengine/contextmenurequest.h"
#include "engines/webengine/downloadrequest.h"
#include "engines/webengine/findtextresult.h"
#include "engines/webengine/pageview.h"
#include "engines/webengine/requestfilter.h"
#include "engines/webengine/webenginedownload.h"
#include "engines/webengine/webenginepage.h"

#include <QContextMenuEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
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

// Chromium reads its switches once, as it starts with the first profile.
void prepareChromium()
{
    static bool prepared = false;
    if (std::exchange(prepared, true))
        return;
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // Every page's referrer policy strict-origin-when-cross-origin: another origin learns the
    // platform's origin at most, never the start page's address with its token, neither in a
    // request nor in document.referrer.
    flags += " --enable-features=ReducedReferrerGranularity";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    // On Linux Chromium hands the page's accessibility tree to Qt only when told to, and a screen
    // reader then finds an empty document. The tree is built only while a reader listens.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

} // namespace

WebEngineView::WebEngineView(const Settings &settings, QWidget *parent)
    : WebView(parent)
{
    prepareChromium();
    // A named profile: cookies and local storage persist in the storage folder.
    m_profile = new QWebEngineProfile(QStringLiteral("Orvane"), this);
    m_profile->setPersistentStoragePath(settings.storagePath + QStringLiteral("/webengine"));
    m_profile->setCachePath(settings.storagePath + QStringLiteral("/webengine-cache"));
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    m_profile->setHttpUserAgent(m_profile->httpUserAgent() + settings.userAgentSuffix);
    m_profile->setUrlRequestInterceptor(new RequestFilter(m_profile));
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, &WebEngineView::download);

    QWebEngineSettings *web = m_profile->settings();
    web->setDefaultTextEncoding(QStringLiteral("utf-8"));
    web->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
    // As QtWebKit's: a script opens a window only from a click, and into this view.
    web->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    web->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    web->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);

    m_page = new WebEnginePage(
        m_profile, [this](const Navigation &navigation) { return acceptNavigation(navigation); },
        this);
    m_view = new ChromiumView(
        [this](const QPoint &globalPos, const ContextMenuRequest &data) {
            emit contextMenuRequested(globalPos, data.linkUrl(), !data.selectedText().isEmpty());
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
}

WebEngineView::~WebEngineView()
{
    // The page must go before its profile.
    delete m_view;
    delete m_page;
}

void WebEngineView::download(QWebEngineDownloadRequest *item)
{
    if (item->page() != m_page)
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

void WebEngineView::copySelection()
{
    m_page->triggerAction(QWebEnginePage::Copy);
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
