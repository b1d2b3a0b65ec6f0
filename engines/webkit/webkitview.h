// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

class QNetworkReply;
class QWebView;
class WebPage;

// The platform shown by QtWebKit, the engine Orvane was designed with.
class WebKitView final : public WebView
{
    Q_OBJECT

public:
    WebKitView(const Settings &settings, QWidget *parent = nullptr);
    ~WebKitView() override;

    void load(const QUrl &url) override;
    QUrl url() const override;
    QString title() const override;
    void reload(bool bypassCache) override;
    void back() override;
    void forward() override;
    void stop() override;
    qreal zoomFactor() const override;
    void setZoomFactor(qreal factor) override;
    void findText(const QString &text, bool backward) override;
    void edit(EditAction action) override;
    bool canEdit(EditAction action) const override;
    // QtWebKit shows no document of its own: a PDF goes to the desktop's viewer.
    void saveDocument() override {}
    void print() override;
    void clearCookies() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void download(QNetworkReply *reply, const QString &name, bool opensWhenDone = false);
    void setFullScreen(bool on);
    void exitFullScreen();

    QWebView *m_view = nullptr;
    WebPage *m_page = nullptr;
    QWidget *m_fullScreen = nullptr; // holds the view while an element fills the screen
    const QString m_downloadFolder;
    bool m_userOpened = false; // the main frame's last navigation was the user's
};
