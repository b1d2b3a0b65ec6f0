// SPDX-License-Identifier: MIT
#pragma once

#include "main/browsing.h"
#include "main/webview.h"

#include <QWidget>

class CHttp;
class FailurePanel;
class FindBar;
class QProgressBar;
class QStackedLayout;
class QVBoxLayout;
class WebDownload;

// The platform's pages as a person browses them: the engine's view with a thin load progress
// bar, a failure page of our own that retries by itself, the find bar, the downloads, the
// usual shortcuts, a context menu, printing and a zoom remembered per user.
class BrowserPane : public QWidget
{
    Q_OBJECT

public:
    // loadTimeoutMs: how long a page may take before it counts as failed.
    BrowserPane(const QString &engine, const WebView::Settings &settings, int loadTimeoutMs,
                QWidget *parent = nullptr);

    // Null when no engine could be loaded; the pane then says so.
    WebView *view() const { return m_view; }
    void load(const QUrl &url);
    // Whose zoom to use and remember from now on.
    void setUser(const QString &user);
    // The last page that loaded, the platform's login not counted.
    QUrl lastPage() const { return m_lastPage; }
    // Loads url once the load under way has succeeded.
    void loadAfterCurrent(const QUrl &url) { m_next = url; }
    // Cancels every download under way; none leaves a partial file.
    void cancelDownloads();

signals:
    // A page ended at the platform's own login page: the session is over.
    void platformLoginShown();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void setUpShortcuts();
    void started();
    void finished(bool ok);
    void failed(Browsing::Failure failure, int httpStatus);
    void probe();
    void retry();
    void zoomBy(int steps);
    void setZoom(qreal factor);
    void showContextMenu(const QPoint &globalPos, const QUrl &link, bool hasSelection);
    void download(WebDownload *download);

    WebView *m_view = nullptr;
    QProgressBar *m_progress = nullptr;
    QStackedLayout *m_stack = nullptr;
    FailurePanel *m_failure = nullptr;
    FindBar *m_findBar = nullptr;
    QVBoxLayout *m_downloads = nullptr;
    CHttp *m_probe = nullptr;
    const int m_loadTimeoutMs;
    int m_loadTimer = 0;
    QUrl m_failedUrl;
    QUrl m_lastPage;
    QUrl m_next;
    int m_attempts = 0; // automatic retries since the last page that loaded
    bool m_timedOut = false;
    bool m_lastRefused = false;    // the rules refused the main frame's last navigation
    bool m_becameDownload = false; // the load under way turned into a download
    QString m_user;
    QString m_saveFolder;
};
