// SPDX-License-Identifier: MIT
#pragma once

#include "common/appconfig.h"
#include "frame/clwdialog.h"
#include "main/mainwindowstate.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSystemTrayIcon>

class CHttp;
class QNetworkReply;
class QMenu;
class QUdpSocket;
class BrowserPane;
class DesktopNotifier;

namespace Ui {
class MainDialog;
}

// Alternates the tool toggle between "hideTool" (odd) and "showTool" (even).
extern int toolToggleCount;

// The window after login: the platform's pages in a web view, the keep-alive, the tray
// icon, and Orvane's end of the channel to OrvaneTool.
class MainDialog : public CLWDialog
{
    Q_OBJECT

public:
    static constexpr int KeepAliveIntervalMs = 300000;
    // Silent renewals of an ended session within RenewalWindowMs; one more asks the user.
    static constexpr int MaxRenewals = 3;
    static constexpr qint64 RenewalWindowMs = 10 * 60 * 1000;

    explicit MainDialog(QWidget *parent = nullptr);
    ~MainDialog() override;

    void loadMainPage();
    // After loginNeeded(): the new login is done, the same window goes on at the start page.
    void loggedIn();
    // The window that stands in for this one while a login is wanted: "showMain" and a
    // second start show it instead.
    void setStandIn(QWidget *window) { m_standIn = window; }

signals:
    // The platform ended the session and no login in the background renewed it, or the user
    // switches accounts: a login window is wanted, showing message (if any). This window hides
    // meanwhile; loggedIn() brings it back, rejecting it ends the program.
    void loginNeeded(const QString &message);

private slots:
    void on_btnClose_clicked();
    void on_btnMin_clicked();
    void showTool();
    void showWindow();
    void closeWindow();
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);
    void readPendingDatagrams();
    void responseUdpMsg(const QString &msg);
    void on_bRet_clicked();
    void on_btnMax_clicked();

protected:
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // The window's place: the remembered one, or the design's on a first start.
    void place();
    void applyRememberedGeometry();
    void rememberGeometry();
    MainWindowState geometryState() const;
    void updateMaxButton();
    void closeToTray();
    void switchAccount();
    void openClassroom();

    void startTool();
    void setUpTray();
    void setUpPane(const AppConfig::Config &config);
    void bringToFront();
    void keepAliveAnswered(QNetworkReply *reply, const QString &token);
    // The platform has ended the session: log in again with the saved account, or ask.
    void sessionEnded();
    // Quitting: the downloads under way end first, leaving nothing half written.
    void quit();
    void askToLogInAgain();
    void continueAfterLogin(const QUrl &returnTo);

    Ui::MainDialog *ui;
    BrowserPane *m_pane = nullptr;
    DesktopNotifier *m_notifier = nullptr;
    QMenu *m_trayMenu = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QPointer<QWidget> m_standIn;
    bool m_waitingForLogin = false;
    bool m_renewing = false;   // a login in the background is under way
    bool m_confirming = false; // its session's first page has not come from the platform yet
    bool m_opening = false;    // the session's start page has not loaded yet
    QElapsedTimer m_clock;
    QList<qint64> m_renewals; // when the silent renewals of the last RenewalWindowMs were
    QUdpSocket *m_udpSocket = nullptr;
    CHttp *m_http = nullptr;
    int m_keepAliveTimer = 0;
    int m_port = 0;
    int m_toolPort = 0;
    bool m_firstShow = true;
    QString m_user;                // whose size and place the window has
    MainWindowState m_placedState; // as the window was placed for its user
    MainWindowState m_savedState;  // as last written
    bool m_geometryChosen = false; // by the user: from then on it is remembered
    bool m_toldAboutTray = false;
};
