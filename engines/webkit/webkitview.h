// SPDX-License-Identifier: MIT
#pragma once

#include "main/webview.h"

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

private:
    QWebView *m_view = nullptr;
    WebPage *m_page = nullptr;
};
