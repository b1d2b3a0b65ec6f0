// SPDX-License-Identifier: MIT
#include "main/maindialog.h"
#include "ui_maindialog.h"

#include "common/appconfig.h"
#include "common/companionchannel.h"
#include "common/globals.h"
#include "main/mainwindowplacement.h"
#include "main/webpage.h"
#include "net/chttp.h"
#include "net/serviceurl.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QNetworkReply>
#include <QProcess>
#include <QScreen>
#include <QUdpSocket>
#include <QWebSettings>

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
    setResizable(false);
    setWindowTitle(QStringLiteral("Orvane-主页"));

    const AppConfig::Config ports = AppConfig::readConfig();
    m_toolPort = ports.toolPort;
    m_port = ports.mainPort;

    ui->webView->setContextMenuPolicy(Qt::NoContextMenu);
    auto *page = new WebPage;
    ui->webView->setPage(page);
    // The platform's pages are UTF-8 whatever their headers say.
    page->settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
    loadMainPage();

    startTool();
    setUpTray();

    m_http = new CHttp(this);
    // Nobody reads keep-alive replies; release each once done so a long day does not grow.
    connect(m_http, &QNetworkAccessManager::finished, m_http,
            [](QNetworkReply *reply) { reply->deleteLater(); });

    m_udpSocket = new QUdpSocket(this);
    CompanionChannel::bind(m_udpSocket, m_port, m_toolPort);
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &MainDialog::readPendingDatagrams);

    m_keepAliveTimer = startTimer(KeepAliveIntervalMs, Qt::CoarseTimer);
}

MainDialog::~MainDialog()
{
    delete m_trayMenu;
    m_trayMenu = nullptr;
    delete m_udpSocket;
    m_udpSocket = nullptr;
    delete m_http;
    m_http = nullptr;
    if (m_keepAliveTimer > 0)
        killTimer(m_keepAliveTimer);
    QWebPage *page = ui->webView->page();
    delete ui;
    delete page;
}

void MainDialog::loadMainPage()
{
    const QString url = g_qrLogin
        ? serviceUrl(g_baseUrl, QStringLiteral("orvane/loginMainIndex?userName=%1&passWord=%2"),
                     {g_userName, g_passWord})
        : serviceUrl(g_baseUrl, QStringLiteral("orvane/main?token=%1"), {g_token});
    ui->webView->load(QUrl(url, QUrl::TolerantMode));
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
    tool->start(path, QStringList(), QIODevice::ReadWrite);
}

void MainDialog::setUpTray()
{
    auto *tray = new QSystemTrayIcon(this);
    const QIcon icon(QStringLiteral(":/Orvane"));
    m_trayMenu = new QMenu(this);
    connect(m_trayMenu->addAction(QStringLiteral("开启/关闭悬浮标")), &QAction::triggered, this,
            &MainDialog::showTool);
    connect(m_trayMenu->addAction(QStringLiteral("显示窗口")), &QAction::triggered, this,
            &MainDialog::showWindow);
    connect(m_trayMenu->addAction(QStringLiteral("退出")), &QAction::triggered, this,
            &MainDialog::closeWindow);
    tray->setIcon(icon);
    tray->setVisible(true);
    tray->setContextMenu(m_trayMenu);
    connect(tray, &QSystemTrayIcon::activated, this, &MainDialog::iconIsActived);
}

void MainDialog::on_btnClose_clicked()
{
    // Without a tray there would be no way back to a hidden window.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void MainDialog::on_btnMin_clicked()
{
    showMinimized();
}

void MainDialog::on_btnMax_clicked()
{
    if (isMaximized()) {
        showNormal();
        ui->btnMax->setStyleSheet(QStringLiteral(
            "QPushButton{border:none;min-width: 13px;max-width: 10px;min-height: 13px;"
            "max-height: 10px;border-image: url(:/btnMax);}"));
    } else {
        showMaximized();
        ui->btnMax->setStyleSheet(QStringLiteral(
            "QPushButton{border:none;min-width: 15px;max-width: 12px;min-height: 15px;"
            "max-height: 12px;border-image: url(:/btnNor);}"));
    }
}

void MainDialog::on_bRet_clicked()
{
    loadMainPage();
}

void MainDialog::bringToFront()
{
    activateWindow();
    showNormal();
}

void MainDialog::showWindow()
{
    bringToFront();
}

void MainDialog::closeWindow()
{
    reject();
}

void MainDialog::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        bringToFront();
}

void MainDialog::showTool()
{
    CompanionChannel::send(m_udpSocket, toolToggleCount % 2 ? "hideTool" : "showTool", m_toolPort);
    ++toolToggleCount;
}

void MainDialog::readPendingDatagrams()
{
    const QStringList commands = CompanionChannel::readPending(m_udpSocket);
    for (const QString &command : commands)
        responseUdpMsg(command);
}

void MainDialog::responseUdpMsg(const QString &msg)
{
    switch (CompanionChannel::commandOf(msg)) {
    case CompanionChannel::Command::DirectClassroom:
        bringToFront();
        if (g_subSystemLogin)
            loadMainPage();
        else
            ui->webView->load(
                QUrl(serviceUrl(g_baseUrl, QStringLiteral("orvane/index?menuId=4&tag=2")),
                     QUrl::TolerantMode));
        g_subSystemLogin = false;
        break;
    case CompanionChannel::Command::ShowMain:
        bringToFront();
        break;
    case CompanionChannel::Command::CloseMain:
        reject();
        break;
    case CompanionChannel::Command::None:
        break;
    }
}

void MainDialog::timerEvent(QTimerEvent *event)
{
    qDebug() << "time";
    if (m_http) {
        const QString url =
            serviceUrl(g_baseUrl, QStringLiteral("orvane/keepOnline?token=%1"), {g_token});
        qDebug() << url;
        m_http->get(url);
    }
    CLWDialog::timerEvent(event);
}

void MainDialog::showEvent(QShowEvent *event)
{
    if (m_firstShow) {
        m_firstShow = false;
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect available = screen->availableGeometry();
        qDebug() << available;
        const MainWindowPlacement placement = MainWindowPlacement::compute(
            available.width(), available.height(), screen->virtualGeometry().width());
        if (placement.fixedSize) {
            setMinimumSize(placement.size);
            setMaximumSize(placement.size);
            move(placement.position);
        }
        showMaximized();
    }
    CLWDialog::showEvent(event);
}
