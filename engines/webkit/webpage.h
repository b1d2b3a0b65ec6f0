// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QWebPage>

#include <optional>
#include <utility>

// The main window's web page on QtWebKit: every navigation goes to the view's navigation hook,
// which sends downloads, import pages and office previews to the desktop browser, and requests
// for new windows stay in this page.
class WebPage : public QWebPage
{
public:
    // decide answers for the view whether a navigation may load; trusted whether a frame's
    // origin is the platform's.
    WebPage(WebView::NavigationHook decide, WebView::PlatformUrl trusted,
            QObject *parent = nullptr);
    ~WebPage() override;

    void setUserAgentSuffix(const QString &suffix) { m_userAgentSuffix = suffix; }
    // Why the main frame's load that just ended could not get its page; nothing when it was
    // stopped, replaced by another or turned into a download. Asking forgets it.
    struct LoadFailure
    {
        ErrorDomain domain = QtNetwork;
        int error = 0;
    };
    std::optional<LoadFailure> takeLoadFailure() { return std::exchange(m_loadFailure, {}); }

protected:
    QWebPage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request,
                                 NavigationType type) override;
    QString userAgentForUrl(const QUrl &url) const override;
    QString chooseFile(QWebFrame *frame, const QString &suggestedFile) override;
    void javaScriptAlert(QWebFrame *frame, const QString &msg) override;
    bool javaScriptConfirm(QWebFrame *frame, const QString &msg) override;
    bool javaScriptPrompt(QWebFrame *frame, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(const QString &message, int lineNumber,
                                  const QString &sourceID) override;
    bool supportsExtension(Extension extension) const override;
    bool extension(Extension extension, const ExtensionOption *option,
                   ExtensionReturn *output) override;

private:
    bool trusted(QWebFrame *frame) const;

    const WebView::NavigationHook m_decide;
    const WebView::PlatformUrl m_trusted;
    QString m_userAgentSuffix;
    std::optional<LoadFailure> m_loadFailure;
};
