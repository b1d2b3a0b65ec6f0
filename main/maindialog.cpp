// SPDX-License-Identifier: MIT
#include "main/maindialog.h"
#include "ui_maindialog.h"

#include "common/appconfig.h"
#include "common/apppaths.h"
#include "common/channelports.h"
#include "common/companionchannel.h"
#include "common/globals.h"
#include "common/logsafe.h"
#include "main/browserpane.h"
#include "main/desktopnotifier.h"
#include "main/mainwindowplacement.h"
#include "main/webengines.h"
#include "main/webnavigation.h"
#include "net/chttp.h"
#include "net/loginrequest.h"
#include "net/serviceurl.h"
#include "platform/platform.h"
#include "store/userstore.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QVBoxLayout>

int toolToggleCount = 1;

MainDialog::MainDialog(QWidget *parent)
    : CLWDialog(parent)
    , ui(new Ui::MainDialog)
{
    // Before the children exist: changing the flags re-parents the window, which would
    // polish every child, the web view included, once more.
    setAttribute(Qt::WA_TranslucentBackground, true);
    setWindowFlags(Qt::FramelessWindowHint);
    ui->setupUi(this);

    setTitleHeight(20);
    setBackgroundImage(QStringLiteral(":/mianbk"), 20, 20, 20, 20);
    setShadowMargins(QMargins(5, 3, 5, 7));
    // Resized from its edges like any desktop window; the smallest size comes with the screen.
    setResizable(true);
    setWindowTitle(QStringLiteral("Orvane-主页"));

    const AppConfig::Config config = AppConfig::readConfig();
    const ChannelPorts::Ports ports = ChannelPorts::thisRun(config);
    m_toolPort = ports.tool;
    m_port = ports.main;

    m_clock.start();
    setUpPane(config);
    m_pane->setUser(g_userName);
    loadMainPage();

    startTool();
    setUpTray();

    m_http = new CHttp(this);
    connect(m_pane, &BrowserPane::platformLoginShown, this, &MainDialog::sessionEnded);
    // The renewed session holds once the platform has shown a page of it.
    connect(m_pane, &BrowserPane::pageLoaded, this, [this] {
        m_confirming = false;
        m_opening = false;
    });

    m_udpSocket = new QUdpSocket(this);
    CompanionChannel::bind(m_udpSocket, m_port, m_toolPort);
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &MainDialog::readPendingDatagrams);

    m_keepAliveTimer = startTimer(KeepAliveIntervalMs, Qt::CoarseTimer);
}

MainDialog::~MainDialog()
{
    rememberGeometry();
    delete m_trayMenu;
    m_trayMenu = nullptr;
    delete m_udpSocket;
    m_udpSocket = nullptr;
    delete m_http;
    m_http = nullptr;
    if (m_keepAliveTimer > 0)
        killTimer(m_keepAliveTimer);
    delete ui;
}

namespace {

WebView::Settings webSettings()
{
    WebView::Settings settings;
    settings.storagePath = AppPaths::dataDirectory() + QStringLiteral("/web");
    settings.userAgentSuffix = QStringLiteral(" Orvane/" ORVANE_VERSION);
    settings.platformUrl = &WebNavigation::isPlatformUrl;
    return settings;
}

} // namespace

void MainDialog::setUpPane(const AppConfig::Config &config)
{
    WebNavigation::setTrustedHosts(config.trustedHosts);
    const WebView::Settings settings = webSettings();
    auto *layout = new QVBoxLayout(ui->webView);
    layout->setContentsMargins(0, 0, 0, 0);
    BrowserPane::Options options;
    options.loadTimeoutMs = config.loadTimeoutSeconds * 1000;
    options.askWhereToSave = config.askWhereToSave;
    m_pane = new BrowserPane(WebEngines::fromConfig(config.engine), settings, options, ui->webView);
    layout->addWidget(m_pane);
    WebView *view = m_pane->view();
    if (!view)
        return;
    view->setAccessibleName(QStringLiteral("平台网页"));
    // A page's notification on the desktop, or by the tray icon where no service shows it; a
    // click on it brings the window.
    m_notifier = new DesktopNotifier(this);
    connect(view, &WebView::notificationRequested, m_notifier, &DesktopNotifier::notify);
    connect(m_notifier, &DesktopNotifier::unavailable, this,
            [this](const QString &title, const QString &body) {
                m_tray->showMessage(title, body, QIcon(QStringLiteral(":/Orvane")), 10000);
            });
    connect(m_notifier, &DesktopNotifier::clicked, this, &MainDialog::bringToFront);
}

void MainDialog::loadMainPage()
{
    const QString url = g_qrLogin
        ? serviceUrl(g_baseUrl, QStringLiteral("orvane/loginMainIndex?userName=%1&passWord=%2"),
                     {g_userName, g_passWord})
        : serviceUrl(g_baseUrl, QStringLiteral("orvane/main?token=%1"), {g_token});
    m_opening = true;
    m_pane->load(QUrl(url, QUrl::TolerantMode));
}

void MainDialog::startTool()
{
    auto *tool = new QProcess(this);
    // The tool's debug output goes where ours goes; read by nobody, it piled up in here.
    tool->setProcessChannelMode(QProcess::ForwardedChannels);
    // Beside Orvane in a portable folder, in the package's folder for it when installed.
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    const std::string name = Platform::executableFileName("OrvaneTool");
    QString path = QString::fromStdString(Platform::programPath(dir, name));
    if (!QFileInfo::exists(path))
        path = QDir::cleanPath(QString::fromStdString(
            Platform::programPath(Platform::programPath(dir, ORVANE_TOOL_RELATIVE_DIR), name)));
    tool->start(path, ChannelPorts::toolArguments(), QIODevice::ReadWrite);
}

void MainDialog::setUpTray()
{
    auto *tray = m_tray = new QSystemTrayIcon(this);
    const QIcon icon(QStringLiteral(":/Orvane"));
    m_trayMenu = new QMenu(this);
    connect(m_trayMenu->addAction(QStringLiteral("开启/关闭悬浮标")), &QAction::triggered, this,
            &MainDialog::showTool);
    connect(m_trayMenu->addAction(QStringLiteral("显示窗口")), &QAction::triggered, this,
            &MainDialog::showWindow);
    connect(m_trayMenu->addAction(QStringLiteral("切换账号")), &QAction::triggered, this,
            &MainDialog::switchAccount);
    // What the tool's classroom button does, for the keyboard.
    connect(m_trayMenu->addAction(QStringLiteral("进入课堂")), &QAction::triggered, this,
            &MainDialog::openClassroom);
    connect(m_trayMenu->addAction(QStringLiteral("退出")), &QAction::triggered, this,
            &MainDialog::closeWindow);
    m_trayMenu->setAccessibleName(QStringLiteral("Orvane 托盘菜单"));
    tray->setIcon(icon);
    tray->setToolTip(QStringLiteral("Orvane - ") + g_userName);
    tray->setVisible(true);
    tray->setContextMenu(m_trayMenu);
    connect(tray, &QSystemTrayIcon::activated, this, &MainDialog::iconIsActived);
    connect(tray, &QSystemTrayIcon::messageClicked, this, &MainDialog::bringToFront);
}

void MainDialog::on_btnClose_clicked()
{
    closeToTray();
}

void MainDialog::closeToTray()
{
    // Without a tray there would be no way back to a hidden window.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return showMinimized();
    hide();
    if (m_toldAboutTray)
        return;
    m_toldAboutTray = true;
    m_tray->showMessage(QStringLiteral("Orvane 仍在运行"),
                        QStringLiteral("窗口已收到系统托盘。单击托盘图标，或在托盘菜单中选择"
                                       "“显示窗口”，即可回到窗口；选择“退出”结束 Orvane。"),
                        QIcon(QStringLiteral(":/Orvane")), 10000);
}

void MainDialog::closeEvent(QCloseEvent *event)
{
    // Alt+F4, or the window manager's own close, does what the close button does. Only a
    // desktop session that ends closes the window.
    if (qGuiApp->isSavingSession())
        return CLWDialog::closeEvent(event);
    event->ignore();
    closeToTray();
}

void MainDialog::on_btnMin_clicked()
{
    showMinimized();
}

void MainDialog::on_btnMax_clicked()
{
    setWindowMaximized(!isWindowMaximized());
    updateMaxButton();
    rememberGeometry();
}

void MainDialog::updateMaxButton()
{
    // The button shows what it does: maximise a normal window, restore a maximised one.
    if (isWindowMaximized()) {
        ui->btnMax->setStyleSheet(QStringLiteral(
            "QPushButton{border:none;min-width: 15px;max-width: 12px;min-height: 15px;"
            "max-height: 12px;border-image: url(:/btnNor);}"));
        ui->btnMax->setAccessibleName(QStringLiteral("还原"));
    } else {
        ui->btnMax->setStyleSheet(QStringLiteral(
            "QPushButton{border:none;min-width: 13px;max-width: 10px;min-height: 13px;"
            "max-height: 10px;border-image: url(:/btnMax);}"));
        ui->btnMax->setAccessibleName(QStringLiteral("最大化"));
    }
    ui->btnMax->setToolTip(ui->btnMax->accessibleName());
}

void MainDialog::on_bRet_clicked()
{
    loadMainPage();
}

void MainDialog::bringToFront()
{
    // While the session waits for a new login, the login window is the one to see.
    QWidget *window = m_waitingForLogin && m_standIn ? m_standIn.data() : this;
    window->showNormal();
    window->raise();
    window->activateWindow();
}

void MainDialog::showWindow()
{
    bringToFront();
}

void MainDialog::closeWindow()
{
    // The tray's 退出 is the user's: files still arriving are not given up without a word.
    if (const int running = m_pane->runningDownloads()) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("退出 Orvane"),
                        QStringLiteral("有 %1 个下载尚未完成，仍要退出吗？").arg(running),
                        QMessageBox::NoButton, this);
        QPushButton *quitting = box.addButton(QStringLiteral("退出"), QMessageBox::AcceptRole);
        box.setDefaultButton(quitting);
        box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        box.exec();
        if (box.clickedButton() != quitting)
            return;
    }
    quit();
}

void MainDialog::quit()
{
    m_pane->cancelDownloads();
    reject();
}

void MainDialog::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    // One click shows the window and the next hides it. A double click begins with that click,
    // so it shows a hidden window as it always did.
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (isVisible() && !isMinimized())
        hide();
    else
        bringToFront();
}

void MainDialog::showTool()
{
    CompanionChannel::send(m_udpSocket, toolToggleCount % 2 ? "hideTool" : "showTool", m_toolPort);
    ++toolToggleCount;
}

void MainDialog::readPendingDatagrams()
{
    const QStringList commands = CompanionChannel::readPending(m_udpSocket, m_toolPort);
    for (const QString &command : commands)
        responseUdpMsg(command);
}

void MainDialog::openClassroom()
{
    bringToFront();
    if (m_waitingForLogin)
        return;
    const QUrl classroom(serviceUrl(g_baseUrl, QStringLiteral("orvane/index?menuId=4&tag=2")),
                         QUrl::TolerantMode);
    // The start page opens the session in the view: cut short, it leaves the view without one
    // (the classroom then ends at the platform's login).
    if (g_subSystemLogin)
        loadMainPage();
    else if (m_opening)
        m_pane->loadAfterCurrent(classroom);
    else
        m_pane->load(classroom);
    g_subSystemLogin = false;
}

void MainDialog::responseUdpMsg(const QString &msg)
{
    switch (CompanionChannel::commandOf(msg)) {
    case CompanionChannel::Command::DirectClassroom:
        openClassroom();
        break;
    case CompanionChannel::Command::ShowMain:
        bringToFront();
        break;
    case CompanionChannel::Command::CloseMain:
        quit();
        break;
    case CompanionChannel::Command::None:
        break;
    }
}

void MainDialog::timerEvent(QTimerEvent *event)
{
    // Only the keep-alive's own timer: before, any timer of the window sent one.
    if (event->timerId() != m_keepAliveTimer)
        return CLWDialog::timerEvent(event);
    qDebug() << "time";
    if (m_http) {
        const QString token = g_token;
        const QString url =
            serviceUrl(g_baseUrl, QStringLiteral("orvane/keepOnline?token=%1"), {token});
        qDebug().noquote() << LogSafe::url(QUrl(url));
        QNetworkReply *reply = m_http->get(url);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, token] { keepAliveAnswered(reply, token); });
    }
    CLWDialog::timerEvent(event);
}

void MainDialog::keepAliveAnswered(QNetworkReply *reply, const QString &token)
{
    reply->deleteLater();
    // Without an answer nothing is known of the session: the next period asks again.
    // A QR-code login has no token to ask about: the answer says nothing of its session. An
    // answer about a token that has been replaced since says nothing of the session now.
    if (reply->error() != QNetworkReply::NoError || token.isEmpty() || token != g_token)
        return;
    const std::optional<QVariantMap> answer = parseReplyObject(decodeReplyBody(reply->readAll()));
    if (!answer)
        return;
    if (replyStatus(*answer) == 1)
        m_confirming = false;
    else
        sessionEnded();
}

void MainDialog::sessionEnded()
{
    m_opening = false;
    if (m_renewing || m_waitingForLogin)
        return;
    // A renewal whose first page was the platform's login again did not hold.
    if (m_confirming)
        return askToLogInAgain();
    const qint64 now = m_clock.elapsed();
    while (!m_renewals.isEmpty() && now - m_renewals.first() >= RenewalWindowMs)
        m_renewals.removeFirst();
    QString password;
    int remember = 0;
    int autoLogin = 0;
    const bool saved = !g_qrLogin && m_renewals.size() < MaxRenewals
        && UserStore::instance().loadUser(g_userName, password, remember, autoLogin)
        && remember == 1 && !password.isEmpty();
    if (!saved)
        return askToLogInAgain();

    LogSafe::remember(password);
    // Never a loop: a few renewals in a while, then the user is asked.
    m_renewals.append(now);
    m_renewing = true;
    const QUrl returnTo =
        Browsing::isPageToReturnTo(m_pane->lastPage()) ? m_pane->lastPage() : QUrl();
    qDebug() << "the session has ended - logging in again as" << g_userName;
    QNetworkReply *reply = sendLogin(*m_http, g_baseUrl, g_userName, password);
    connect(reply, &QNetworkReply::finished, this, [this, reply, returnTo] {
        reply->deleteLater();
        m_renewing = false;
        // The teacher switched accounts meanwhile: this session is over either way.
        if (m_waitingForLogin)
            return;
        const LoginReply login = readLogin(reply);
        if (!login.success) {
            qDebug() << "logging in again failed:" << login.tip;
            return askToLogInAgain();
        }
        g_token = login.token;
        LogSafe::remember(g_token);
        m_confirming = true;
        continueAfterLogin(returnTo);
    });
}

void MainDialog::askToLogInAgain()
{
    qDebug() << "the session has ended - asking for a new login";
    m_waitingForLogin = true;
    hide();
    emit loginNeeded(QStringLiteral("登录已失效，请重新登录"));
}

void MainDialog::switchAccount()
{
    if (m_waitingForLogin)
        return bringToFront();
    qDebug() << "switching accounts: the session of" << g_userName << "ends";
    // Nothing of the session outlives it: no keep-alive, no cookie, no download.
    if (m_keepAliveTimer > 0)
        killTimer(m_keepAliveTimer);
    m_keepAliveTimer = 0;
    m_pane->cancelDownloads();
    if (WebView *view = m_pane->view()) {
        view->stop();
        view->clearCookies();
    }
    g_token.clear();
    g_passWord.clear();
    m_waitingForLogin = true;
    hide();
    emit loginNeeded(QString());
}

void MainDialog::loggedIn()
{
    const bool otherUser = m_user != g_userName;
    m_waitingForLogin = false;
    m_standIn = nullptr;
    m_renewals.clear();
    m_confirming = false;
    if (m_keepAliveTimer <= 0)
        m_keepAliveTimer = startTimer(KeepAliveIntervalMs, Qt::CoarseTimer);
    if (otherUser)
        applyRememberedGeometry();
    continueAfterLogin(QUrl());
    bringToFront();
}

void MainDialog::continueAfterLogin(const QUrl &returnTo)
{
    m_pane->setUser(g_userName);
    m_tray->setToolTip(QStringLiteral("Orvane - ") + g_userName);
    // The start page opens the new session in the view; then back to where the user was.
    loadMainPage();
    if (returnTo.isValid())
        m_pane->loadAfterCurrent(returnTo);
}

void MainDialog::showEvent(QShowEvent *event)
{
    if (m_firstShow) {
        m_firstShow = false;
        place();
    }
    CLWDialog::showEvent(event);
}

void MainDialog::place()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    qDebug() << available;
    setMinimumSize(MainWindowPlacement::minimumSize(available.size()));
    applyRememberedGeometry();
    if (m_geometryChosen)
        return;
    // A first start: the design's size and place, or the whole work area on a narrow screen.
    const MainWindowPlacement placement = MainWindowPlacement::compute(
        available.width(), available.height(), screen->virtualGeometry().width());
    setGeometry(placement.fixedSize ? QRect(placement.position, placement.size) : available);
    setWindowMaximized(!placement.fixedSize);
    updateMaxButton();
    m_placedState = geometryState();
}

void MainDialog::applyRememberedGeometry()
{
    QList<QRect> workAreas;
    for (const QScreen *screen : QGuiApplication::screens())
        workAreas << screen->availableGeometry();
    m_user = g_userName;
    const MainWindowState remembered = MainWindowState::load(MainWindowState::file(), m_user);
    const QRect geometry = MainWindowPlacement::restored(remembered.geometry, workAreas);
    m_geometryChosen = !geometry.isNull();
    m_savedState = MainWindowState();
    if (m_geometryChosen) {
        setWindowMaximized(false);
        setGeometry(geometry);
        setWindowMaximized(remembered.maximized);
        updateMaxButton();
        m_savedState = remembered;
    }
    m_placedState = geometryState();
}

MainWindowState MainDialog::geometryState() const
{
    return MainWindowState{normalWindowGeometry(), isWindowMaximized()};
}

void MainDialog::rememberGeometry()
{
    // Only what the user chose: an untouched first place is worked out anew at the next start.
    if (m_firstShow || m_user.isEmpty())
        return;
    const MainWindowState state = geometryState();
    m_geometryChosen = m_geometryChosen || state != m_placedState;
    if (!m_geometryChosen || state == m_savedState)
        return;
    if (MainWindowState::save(MainWindowState::file(), m_user, state))
        m_savedState = state;
}

void MainDialog::hideEvent(QHideEvent *event)
{
    rememberGeometry();
    CLWDialog::hideEvent(event);
}

void MainDialog::changeEvent(QEvent *event)
{
    // A window manager may maximise or restore the window too.
    if (event->type() == QEvent::WindowStateChange && !m_firstShow)
        updateMaxButton();
    CLWDialog::changeEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent *event)
{
    // The end of a move or a resize by the frame.
    CLWDialog::mouseReleaseEvent(event);
    rememberGeometry();
}

void MainDialog::mouseDoubleClickEvent(QMouseEvent *event)
{
    CLWDialog::mouseDoubleClickEvent(event);
    updateMaxButton();
    rememberGeometry();
}
