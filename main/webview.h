// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QPoint>
#include <QUrl>
#include <QWidget>

#include <functional>

// The main window's view of the platform, whichever web engine shows it: what the window and
// the navigation rules need of an engine, and no more. An engine's library (engines/)
// implements it and is loaded only when the main window is built (WebEngines).
class WebDownload;

class WebView : public QWidget
{
    Q_OBJECT

public:
    // Navigations in the terms of the rules: links and forms are the user's; moves in the
    // history and reloads keep what the view had; anything else (a script, a frame breaking
    // out, a window opened by a script) is Other. Redirect: the next hop of a navigation under
    // way, where the engine asks about it (the rules treat it as Other).
    enum class NavigationType { LinkClicked, FormSubmitted, BackForward, Reload, Other, Redirect };

    struct Navigation
    {
        QUrl url;
        NavigationType type = NavigationType::Other;
        bool mainFrame = true;
        // The user clicked or pressed a key in the view within the last second (filled in by
        // the view): a page's script alone cannot hand anything to the desktop.
        bool userActed = false;
    };

    // What a page may ask for beyond showing itself.
    enum class Feature { Notifications, Camera, Microphone, CameraAndMicrophone, Location, Other };
    enum class Permission { Grant, Refuse, Ask };
    using Answer = std::function<void(bool granted)>;
    // What the context menu of an editable field offers, as the engine does it.
    enum class EditAction { Undo, Redo, Cut, Copy, Paste, Delete, SelectAll };

    // Gives false to keep the view from loading the navigation.
    using NavigationHook = std::function<bool(const Navigation &)>;
    // Whether a URL belongs to the platform: requests to anything else carry no Referer.
    using PlatformUrl = std::function<bool(const QUrl &)>;

    // The same for every engine.
    struct Settings
    {
        QString storagePath;     // cookies, local storage, caches
        QString userAgentSuffix; // after the engine's own user agent
        PlatformUrl platformUrl;
        QString downloadFolder; // where a download waits while the user chooses its place
    };

    explicit WebView(QWidget *parent = nullptr);

    void setNavigationHook(NavigationHook hook);

    // The files a page asks to upload: Qt's dialog, starting in the folder of the last upload
    // or else the home folder (not the working folder the program happened to start in).
    static QStringList chooseUploads(QWidget *parent, bool multiple);
    // What a page's script asks the user (alert, confirm, prompt, and the question before
    // leaving a page with unsaved input), the same on every engine: in Chinese, titled with the
    // page's title or else the platform's name, never with an address, which the platform's
    // name on a dialog would otherwise vouch for. True when the user accepted; a prompt's
    // answer goes to text, which holds the page's proposal at first.
    enum class PageDialog { Alert, Confirm, Prompt, LeavePage };
    static bool askForPage(QWidget *parent, PageDialog kind, const QString &pageTitle,
                           const QUrl &pageUrl, const QString &message, QString *text = nullptr);
    // Same scheme, host and port: what a page's address may be told to.
    static bool sameOrigin(const QUrl &a, const QUrl &b);
    // The platform's pages notify without asking and may use camera and microphone if the user
    // allows; anything else, and anything of another origin, is refused without a question.
    static Permission permission(Feature feature, bool platform);

    virtual void load(const QUrl &url) = 0;
    virtual QUrl url() const = 0;
    virtual QString title() const = 0;
    // Reloading past the cache fetches every part of the page anew.
    virtual void reload(bool bypassCache = false) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual qreal zoomFactor() const = 0;
    virtual void setZoomFactor(qreal factor) = 0;
    // Highlights the text's next (or previous) match; findFinished tells whether there is one.
    // An empty text clears the highlight.
    virtual void findText(const QString &text, bool backward) = 0;
    // Acts on the field or the selection the last context menu was for.
    virtual void edit(EditAction action) = 0;
    // Whether the engine would do anything with it now.
    virtual bool canEdit(EditAction action) const = 0;
    // Saves the document the engine showed under the last right click (a PDF in its own viewer)
    // as a download.
    virtual void saveDocument() = 0;
    // The system's print dialog, then the page to the printer chosen (a PDF file included).
    virtual void print() = 0;
    // Forgets every cookie, the kept ones too: the session they belong to has ended.
    virtual void clearCookies() = 0;

signals:
    void titleChanged(const QString &title);
    void urlChanged(const QUrl &url);
    void loadStarted();
    void loadProgress(int percent);
    // A page of the main frame loaded (ok) or could not be had. A load that was stopped,
    // replaced by a newer navigation or turned into a download ends with loadCancelled instead.
    void loadFinished(bool ok);
    void loadCancelled();
    // Why the main frame's page could not be had, where the engine can tell (just before
    // loadFinished(false)): a network error, or the platform's HTTP status.
    void loadError(QNetworkReply::NetworkError error, int httpStatus);
    void findFinished(bool found);
    // A right click: where, the link under it (if any), whether text is selected, whether it
    // was in a field the user can edit, and whether on a document the engine shows itself.
    void contextMenuRequested(const QPoint &globalPos, const QUrl &link, bool hasSelection,
                              bool editable, bool document);
    // Ctrl and the wheel: a step in (positive) or out.
    void zoomRequested(int steps);
    // The page called window.print().
    void printRequested();
    // Something to keep rather than show; the receiver starts or cancels it.
    void downloadRequested(WebDownload *download);
    // A platform page's notification, for the desktop.
    void notificationRequested(const QString &title, const QString &body);
    // A platform page asks for what the user decides; the receiver calls answer once.
    void permissionRequested(const QUrl &origin, WebView::Feature feature,
                             const WebView::Answer &answer);

protected:
    bool acceptNavigation(Navigation navigation) const;
    // Answers a page's request as permission() says, asking the user where it says Ask.
    void decidePermission(const QUrl &origin, Feature feature, bool platform, const Answer &answer);
    // The user clicked or pressed a key in the view within the last second.
    bool userActed() const;
    // Deletes the selection of the focused field as the Delete key does, for an engine that
    // has no action of its own for it.
    void pressDelete();
    // Watches a widget of the engine, and the widgets it makes later, for the mouse's back and
    // forward buttons (back(), forward()) and Ctrl with the wheel (zoomRequested).
    void watchInput(QWidget *widget);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isNewInput(QEvent *event);

    NavigationHook m_hook;
    ulong m_lastInput = 0;
    QElapsedTimer m_sinceUserInput; // invalid until the first click or key
    int m_wheelDelta = 0;           // Ctrl and the wheel: what has not made a whole step yet
};
