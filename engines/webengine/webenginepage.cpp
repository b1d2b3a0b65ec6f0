// SPDX-License-Identifier: MIT
#include "engines/webengine/webenginepage.h"

#include "engines/webengine/pageview.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWebEngineSettings>

#include <utility>

namespace {

// Chromium's types onto the rules' own: a typed address counts as Other, as anything the user
// did not click or submit.
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
    case QWebEnginePage::NavigationTypeRedirect:
        return WebView::NavigationType::Redirect;
    default:
        return WebView::NavigationType::Other;
    }
}

// Stands for a new window until its first navigation, which goes to the opener instead. It is
// gone within a second: a window opened with nothing to load ("about:blank", then written by the
// opener) shows nowhere. Scripts its opener writes into it still run, with the opener's rights.
class NewWindowPage final : public QWebEnginePage
{
public:
    using Forward = std::function<void(const QUrl &, NavigationType)>;

    NewWindowPage(QWebEngineProfile *profile, Forward forward, QObject *parent)
        : QWebEnginePage(profile, parent)
        , m_forward(std::move(forward))
    {
        settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        QTimer::singleShot(1000, this, &QObject::deleteLater);
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool) override
    {
        if (!std::exchange(m_forwarded, true))
            m_forward(url, type);
        deleteLater();
        return false;
    }

private:
    const Forward m_forward;
    bool m_forwarded = false;
};

} // namespace

WebEnginePage::WebEnginePage(QWebEngineProfile *profile, WebView::NavigationHook decide,
                             WebView::PlatformUrl trusted, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_decide(std::move(decide))
    , m_trusted(std::move(trusted))
{
}

QWebEnginePage *WebEnginePage::createWindow(WebWindowType)
{
    // Chromium fills a new window's page with new contents: given this page, it would replace
    // what the view shows. The window's first navigation loads here instead, if the rules let it.
    return new NewWindowPage(
        profile(),
        [this](const QUrl &url, NavigationType type) {
            if (m_decide({url, typeOf(type), true}))
                load(url);
        },
        this);
}

bool WebEnginePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const WebView::NavigationType kind = typeOf(type);
    const bool accepted = m_decide({url, kind, isMainFrame});
    if (isMainFrame && (!accepted || kind != WebView::NavigationType::Redirect))
        m_refused = !accepted;
    return accepted;
}

QStringList WebEnginePage::chooseFiles(FileSelectionMode mode, const QStringList &,
                                       const QStringList &)
{
    return WebView::chooseUploads(PageView::viewOf(this), mode == FileSelectOpenMultiple);
}

// Only the platform's pages and frames may ask the user anything: another site's dialog would
// look like the platform's. Another site never keeps the user from leaving either.
void WebEnginePage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (trusted(securityOrigin))
        WebView::askForPage(PageView::viewOf(this), WebView::PageDialog::Alert, title(), url(),
                            msg);
}

bool WebEnginePage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    // Chromium asks before leaving a page with unsaved input as if the page confirmed this.
    const bool leaving = msg
        == QCoreApplication::translate("QWebEnginePage",
                                       "Are you sure you want to leave this page? Changes that "
                                       "you made may not be saved.");
    if (!trusted(securityOrigin))
        return leaving;
    return WebView::askForPage(PageView::viewOf(this),
                               leaving ? WebView::PageDialog::LeavePage
                                       : WebView::PageDialog::Confirm,
                               title(), url(), msg);
}

bool WebEnginePage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                                     const QString &defaultValue, QString *result)
{
    *result = defaultValue;
    return trusted(securityOrigin)
        && WebView::askForPage(PageView::viewOf(this), WebView::PageDialog::Prompt, title(), url(),
                               msg, result);
}
