// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

#include <QWebEnginePage>

#include <utility>

// The main window's web page on QtWebEngine, with the rules of the QtWebKit one: every
// navigation goes to the view's navigation hook, and requests for new windows stay here.
class WebEnginePage final : public QWebEnginePage
{
    Q_OBJECT

public:
    WebEnginePage(QWebEngineProfile *profile, WebView::NavigationHook decide,
                  WebView::PlatformUrl trusted, QObject *parent = nullptr);

    // Whether the rules refused a navigation of the main frame since the last load ended:
    // Chromium then reports a load of it that fails (a redirect refused ends the load it
    // belongs to). Taking it forgets it.
    bool hasRefused() const { return m_refused; }
    bool takeRefusal() { return std::exchange(m_refused, false); }

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;

private:
    bool trusted(const QUrl &origin) const { return !m_trusted || m_trusted(origin); }

    const WebView::NavigationHook m_decide;
    const WebView::PlatformUrl m_trusted;
    bool m_refused = false;
};
