// SPDX-License-Identifier: MIT
#pragma once

#include "main/browsing.h"
#include "main/webview.h"

#include <QHash>
#include <QNetworkReply>
#include <QPointer>
#include <QWidget>

class CHttp;
class DownloadRow;
class FailurePanel;
class FindBar;
class QLabel;
class QProgressBar;
class QStackedLayout;
class QTimer;
class QVBoxLayout;
class WebDownload;

// The platform's pages as a person browses them: the engine's view with a thin load progress
// bar, a failure page of our own that retries by itself, the find bar, the downloads, the
// usual shortcuts, a context menu, printing and a zoom remembered per user.
class BrowserPane : public QWidget
{
    Q_OBJECT

public:
    struct Options
    {
        int loadTimeoutMs = 30000; // a page that takes longer counts as failed
        bool askWhereToSave = false;
    };

    BrowserPane(const QString &engine, const WebView::Settings &settings, const Options &options,
                QWidget *parent = nullptr);
    ~BrowserPane() override;

    // Null when no engine could be loaded; the pane then says so.
    WebView *view() const { return m_view; }
    void load(const QUrl &url);
    // Whose zoom to use and remember from now on.
    void setUser(const QString &user);
    // The last page that loaded, the platform's login not counted.
    QUrl lastPage() const { return m_lastPage; }
    // Loads url once the load under way has succeeded.
    void loadAfterCurrent(const QUrl &url) { m_next = url; }
    // Downloads that have not ended yet.
    int runningDownloads() const;
    // Ends every download under way, leaving nothing of it on disk.
    void cancelDownloads();

signals:
    // A page ended at the platform's own login page: the session is over.
    void platformLoginShown();
    // A page of the platform loaded, its login aside.
    void pageLoaded(const QUrl &url);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void setUpShortcuts();
    void navigationAccepted(const QUrl &url);
    void started();
    void cancelled();
    void finished(bool ok);
    void stopLoadTimer();
    // Asks for url itself: its failure is told; so is its success unless onlyFailures.
    void probe(quint64 navigation, const QUrl &url, bool onlyFailures = false);
    void failed(quint64 navigation, const QUrl &url, Browsing::Failure failure, int httpStatus);
    void retry();
    void zoomBy(int steps);
    void setZoom(qreal factor);
    void showContextMenu(const QPoint &globalPos, const QUrl &link, bool hasSelection,
                         bool editable, bool document);
    void askPermission(const QUrl &origin, WebView::Feature feature, const WebView::Answer &answer);
    void download(WebDownload *download);
    QList<DownloadRow *> downloadRows() const;
    void notePartialFiles();

    WebView *m_view = nullptr;
    QProgressBar *m_progress = nullptr;
    QStackedLayout *m_stack = nullptr;
    FailurePanel *m_failure = nullptr;
    FindBar *m_findBar = nullptr;
    QVBoxLayout *m_downloads = nullptr;
    QLabel *m_zoomLevel = nullptr; // "110%" over the page for a moment after a change
    QTimer *m_zoomShown = nullptr;
    CHttp *m_probe = nullptr;
    QPointer<QNetworkReply> m_probeReply;
    const Options m_options;

    // Every navigation of the main frame the rules let through has a number: a failure, its
    // probe and its retry concern the one that was asked for, and an answer that arrives after
    // a newer navigation is dropped.
    quint64 m_navigation = 0;
    QUrl m_requested;                 // what the newest navigation asked for
    bool m_loading = false;           // a load of the main frame is under way
    bool m_replacing = false;         // the newest navigation began while a load ran
    int m_loadTimer = 0;              // its time-out
    quint64 m_failedNavigation = 0;   // the one the failure page is about
    quint64 m_downloadNavigation = 0; // the newest one that turned into a download
    struct EngineError
    {
        quint64 navigation = 0;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        int httpStatus = 0;
    };
    EngineError m_engineError; // why the engine says the newest one failed
    QUrl m_failedUrl;
    QUrl m_lastPage;
    QUrl m_next;
    int m_attempts = 0; // automatic retries since the last page that loaded

    QString m_user;
    QHash<QString, bool> m_permissions; // the user's answers this session, by origin and feature
    QString m_downloadFolder;
    QString m_saveFolder; // where the user last chose to keep a download
};
