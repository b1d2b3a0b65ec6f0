// SPDX-License-Identifier: MIT
#pragma once

#include "engines/webengine/webenginedownload.h"
#include "main/webview.h"

#include <QHash>
#include <QPointer>

class QWebEngineProfile;
class QWebEngineView;
class WebEnginePage;

// The platform shown by QtWebEngine (Chromium), for platforms built the way web sites are
// built today.
class WebEngineView final : public WebView
{
    Q_OBJECT

public:
    WebEngineView(const Settings &settings, QWidget *parent = nullptr);
    ~WebEngineView() override;

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
    void saveDocument() override;
    void print() override;
    void clearCookies() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void download(QWebEngineDownloadRequest *item);
    void setFullScreen(bool on);

    QWebEngineProfile *m_profile = nullptr;
    WebEnginePage *m_page = nullptr;
    QHash<quint32, QPointer<WebEngineDownload>> m_downloads; // the items asked about already
    QWebEngineView *m_view = nullptr;
    QWebEngineView *m_fullScreen = nullptr; // a window of its own while an element fills the screen
    const PlatformUrl m_platformUrl;
    bool m_stopping = false;    // the load under way ends by stop()
    bool m_refusedLoad = false; // the load under way is one the rules refused
};
