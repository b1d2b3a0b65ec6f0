// SPDX-License-Identifier: MIT
#include "engines/webkit/webpage.h"

#include <QDebug>
#include <QNetworkRequest>
#include <QTimer>
#include <QWebFrame>
#include <QWebSecurityOrigin>
#include <QWebSettings>

#include <functional>
#include <utility>

namespace {

WebView::NavigationType typeOf(QWebPage::NavigationType type)
{
    switch (type) {
    case QWebPage::NavigationTypeLinkClicked:
        return WebView::NavigationType::LinkClicked;
    case QWebPage::NavigationTypeFormSubmitted:
        return WebView::NavigationType::FormSubmitted;
    case QWebPage::NavigationTypeBackOrForward:
        return WebView::NavigationType::BackForward;
    case QWebPage::NavigationTypeReload:
        return WebView::NavigationType::Reload;
    default:
        return WebView::NavigationType::Other;
    }
}

// Stands for a window a page opens until its first navigation, which goes to the main page
// instead, if the rules let it. It runs no script, and it is gone within a second: a window
// opened with nothing to load ("about:blank", then written by the opener) shows nowhere.
class NewWindowPage final : public QWebPage
{
public:
    using Forward = std::function<void(const QNetworkRequest &, NavigationType)>;

    NewWindowPage(Forward forward, QObject *parent)
        : QWebPage(parent)
        , m_forward(std::move(forward))
    {
        settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
        QTimer::singleShot(1000, this, &QObject::deleteLater);
    }

protected:
    bool acceptNavigationRequest(QWebFrame *, const QNetworkRequest &request,
                                 NavigationType type) override
    {
        if (!std::exchange(m_forwarded, true))
            m_forward(request, type);
        deleteLater();
        return false;
    }

private:
    const Forward m_forward;
    bool m_forwarded = false;
};

} // namespace

WebPage::WebPage(WebView::NavigationHook decide, WebView::PlatformUrl trusted, QObject *parent)
    : QWebPage(parent)
    , m_decide(std::move(decide))
    , m_trusted(std::move(trusted))
{
}

WebPage::~WebPage() = default;

QWebPage *WebPage::createWindow(WebWindowType)
{
    return new NewWindowPage(
        [this](const QNetworkRequest &request, NavigationType type) {
            if (m_decide({request.url(), typeOf(type), true}))
                mainFrame()->load(request);
        },
        this);
}

bool WebPage::acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request,
                                      NavigationType type)
{
    // Without a frame the request is for a new window, which is this page's main frame.
    const bool mainFrameNavigation = !frame || frame == mainFrame();
    if (!m_decide({request.url(), typeOf(type), mainFrameNavigation}))
        return false;
    // A frame of another origin would read the page that holds it, the start page's address
    // with its token, in document.referrer: it loads without one.
    const QUrl referrer(QString::fromUtf8(request.rawHeader("Referer")));
    if (!mainFrameNavigation && referrer.isValid() && !WebView::sameOrigin(referrer, request.url())
        && (type == NavigationTypeLinkClicked || type == NavigationTypeOther)) {
        QNetworkRequest withoutReferrer(request);
        withoutReferrer.setRawHeader("Referer", QByteArray());
        frame->load(withoutReferrer);
        return false;
    }
    return QWebPage::acceptNavigationRequest(frame, request, type);
}

void WebPage::javaScriptConsoleMessage(const QString &message, int lineNumber,
                                       const QString &sourceID)
{
    // Into the log, as QtWebEngine does: a page's own errors explain much.
    qDebug().noquote() << "js:" << message
                       << QStringLiteral("(%1:%2)").arg(sourceID).arg(lineNumber);
}

bool WebPage::trusted(QWebFrame *frame) const
{
    // The origin, not the address: a frame without one of its own has its maker's.
    const QWebSecurityOrigin origin = frame->securityOrigin();
    QUrl url;
    url.setScheme(origin.scheme());
    url.setHost(origin.host());
    if (origin.port() > 0)
        url.setPort(origin.port());
    return !m_trusted || m_trusted(url);
}

// Only the platform's pages and frames may ask the user anything: another site's dialog would
// look like the platform's. QtWebKit asks before leaving a page as a page's confirm() does.
void WebPage::javaScriptAlert(QWebFrame *frame, const QString &msg)
{
    if (trusted(frame))
        WebView::askForPage(view(), WebView::PageDialog::Alert, mainFrame()->title(),
                            mainFrame()->url(), msg);
}

bool WebPage::javaScriptConfirm(QWebFrame *frame, const QString &msg)
{
    return trusted(frame)
        && WebView::askForPage(view(), WebView::PageDialog::Confirm, mainFrame()->title(),
                               mainFrame()->url(), msg);
}

bool WebPage::javaScriptPrompt(QWebFrame *frame, const QString &msg, const QString &defaultValue,
                               QString *result)
{
    *result = defaultValue;
    return trusted(frame)
        && WebView::askForPage(view(), WebView::PageDialog::Prompt, mainFrame()->title(),
                               mainFrame()->url(), msg, result);
}

QString WebPage::chooseFile(QWebFrame *, const QString &)
{
    return WebView::chooseUploads(view(), false).value(0);
}

bool WebPage::supportsExtension(Extension extension) const
{
    return extension == ChooseMultipleFilesExtension || extension == ErrorPageExtension;
}

bool WebPage::extension(Extension extension, const ExtensionOption *option, ExtensionReturn *output)
{
    if (extension == ErrorPageExtension) {
        // Asked only when a page could not be had, never for a load that was stopped. The
        // engine's own error page is not wanted: the main window shows one of its own, and a
        // load that became a download leaves the page as it was.
        const auto *error = static_cast<const ErrorPageExtensionOption *>(option);
        constexpr int FrameLoadInterruptedByPolicyChange = 102;
        if (error->frame == mainFrame()
            && !(error->domain == WebKit && error->error == FrameLoadInterruptedByPolicyChange))
            m_loadFailure = LoadFailure{error->domain, error->error};
        return false;
    }
    if (extension != ChooseMultipleFilesExtension)
        return QWebPage::extension(extension, option, output);
    static_cast<ChooseMultipleFilesExtensionReturn *>(output)->fileNames =
        WebView::chooseUploads(view(), true);
    return true;
}

QString WebPage::userAgentForUrl(const QUrl &url) const
{
    return QWebPage::userAgentForUrl(url) + m_userAgentSuffix;
}
