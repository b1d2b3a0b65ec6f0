// SPDX-License-Identifier: MIT
#pragma once

#include <QWebPage>

// True when the most recent clicked link led into another part of the platform
// ("dedeLogin", "zariLogin"); the "directClassroom" command reads and clears it.
extern bool g_subSystemLogin;

// The main window's web page: sends downloads, import pages and office previews to
// the desktop browser and keeps new-window requests in this page.
class WebPage : public QWebPage
{
public:
    explicit WebPage(QObject *parent = nullptr);
    ~WebPage() override;

protected:
    QWebPage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request,
                                 NavigationType type) override;
};
