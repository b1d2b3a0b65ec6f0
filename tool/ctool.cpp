// SPDX-License-Identifier: MIT
#include "tool/ctool.h"
#include "ui_ctool.h"

#include "common/appconfig.h"
#include "common/channelports.h"
#include "common/companionchannel.h"
#include "frame/compositing.h"
#include "frame/pointerevents.h"
#include "platform/platform.h"
#include "tool/slide.h"

#include <QAction>
#include <QBitmap>
#include <QDebug>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRect>
#include <QScreen>
#include <QTimerEvent>
#include <QUdpSocket>

CTool::CTool(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CTool)
    , m_pressPos(0, 0)
{
    ui->setupUi(this);
    setWindowOpacity(1.0);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Orvane-工具"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_MouseTracking);
    // Without a compositing manager the picture's transparent shadow shows black: the window is
    // then cut to the button's own shape.
    const auto cut = [this](bool composited) {
        if (composited)
            clearMask();
        else
            setMask(QBitmap::fromImage(
                QImage(QStringLiteral(":/line1")).createAlphaMask(Qt::ThresholdAlphaDither)));
    };
    cut(Compositing::instance().isActive());
    connect(&Compositing::instance(), &Compositing::activeChanged, this, cut);

    // Orvane names a pair of its own when another user's programs hold the configured one.
    const ChannelPorts::Ports ports =
        ChannelPorts::fromArguments(QCoreApplication::arguments(), AppConfig::readConfig());
    m_toolPort = ports.tool;
    m_mainPort = ports.main;

    // Taken once: the tool keeps docking against the area it was started with.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        m_availWidth = available.width();
        m_availHeight = available.height();
    }

    m_udpSocket = new QUdpSocket(this);
    // A tool that cannot bind goes on without the channel, neither toggling nor sending, and
    // takes the port once it is free: before, a port held by a stale tool stayed lost.
    CompanionChannel::bindAndRetry(m_udpSocket, m_toolPort, m_mainPort);
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &CTool::readPendingDatagrams);

    const long starter = Platform::parentProcessId();
    if (Platform::isProcessRunning(starter, Platform::executableFileName("Orvane")))
        m_parentPid = starter;
    m_watchTimer = startTimer(WatchInterval, Qt::CoarseTimer);

    qDebug() << m_toolPort << m_mainPort;
}

CTool::~CTool()
{
    delete m_udpSocket;
    if (m_slideTimer > 0)
        killTimer(m_slideTimer);
    if (m_watchTimer > 0)
        killTimer(m_watchTimer);
    delete m_contextMenu;
    delete ui;
}

bool CTool::isProcessRunning(const QString &fileName)
{
    return Platform::isProcessRunning(fileName.toStdString());
}

void CTool::readPendingDatagrams()
{
    const QStringList commands = CompanionChannel::readPending(m_udpSocket);
    for (const QString &command : commands) {
        qDebug() << command;
        handleCommand(command);
    }
}

void CTool::handleCommand(const QString &command)
{
    // Orvane alternates "hideTool" and "showTool" but does not know the window's real state:
    // every datagram is a toggle.
    Q_UNUSED(command)
    showTool();
}

void CTool::showTool()
{
    if (isHidden())
        showNormal();
    else
        hide();
}

void CTool::showWindow()
{
    CompanionChannel::send(m_udpSocket, "showMain", m_mainPort);
}

void CTool::closeWindow()
{
    CompanionChannel::send(m_udpSocket, "closeMain", m_mainPort);
}

void CTool::sendDirectClassroom()
{
    CompanionChannel::send(m_udpSocket, "directClassroom", m_mainPort);
}

void CTool::showContextMenu(const QPoint &screenPos)
{
    if (!m_contextMenu) {
        m_contextMenu = new QMenu(this);
        m_contextMenu->setAccessibleName(QStringLiteral("悬浮工具菜单"));
        connect(m_contextMenu->addAction(QStringLiteral("开启/关闭悬浮标")), &QAction::triggered,
                this, &CTool::showTool);
        connect(m_contextMenu->addAction(QStringLiteral("显示窗口")), &QAction::triggered, this,
                &CTool::showWindow);
        connect(m_contextMenu->addAction(QStringLiteral("退出")), &QAction::triggered, this,
                &CTool::closeWindow);
    }
    m_contextMenu->exec(screenPos);
}

void CTool::startSlide(bool out)
{
    if (m_slideTimer > 0 || !Slide::isDocked(geometry().right(), m_availWidth, m_slideStep))
        return;
    m_slidingOut = out;
    m_slideTimer = startTimer(10, Qt::CoarseTimer);
}

void CTool::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_slideTimer) {
        const QRect rect = geometry();
        const Slide::Tick tick = m_slidingOut
            ? Slide::slideOutStep(rect.left(), m_availWidth, m_slideStep, m_dockedStrip)
            : Slide::slideInStep(rect.left(), rect.width(), m_availWidth, m_slideStep);
        if (tick.left != rect.left())
            setGeometry(tick.left, rect.top(), rect.width(), rect.height());
        if (tick.stop) {
            killTimer(m_slideTimer);
            m_slideTimer = 0;
        }
    } else if (event->timerId() == m_watchTimer) {
        if (orvaneGone())
            accept();
    }
    QDialog::timerEvent(event);
}

bool CTool::orvaneGone() const
{
    const std::string orvane = Platform::executableFileName("Orvane");
    // Before, a killed Orvane's tool stayed as long as any Orvane ran: each restart added one.
    if (m_parentPid > 0
        && (Platform::parentProcessId() != m_parentPid
            || !Platform::isProcessRunning(m_parentPid, orvane)))
        return true;
    return !isProcessRunning(QString::fromStdString(orvane));
}

void CTool::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = PointerEvents::localPosition(event).toPoint();
    if (m_pressPos.x() > 67) {
        sendDirectClassroom();
    } else if (event->buttons() & Qt::LeftButton) {
        m_dragging = true;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->buttons() & Qt::RightButton) {
        showContextMenu(PointerEvents::globalPosition(event).toPoint());
    } else {
        sendDirectClassroom();
    }
    QDialog::mousePressEvent(event);
}

void CTool::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    setCursor(Qt::ArrowCursor);
    QDialog::mouseReleaseEvent(event);
}

void CTool::mouseMoveEvent(QMouseEvent *event)
{
    if ((event->buttons() & Qt::LeftButton) && m_dragging) {
        const QPoint screenPos = PointerEvents::globalPosition(event).toPoint();
        move(screenPos - m_pressPos);
    }
    QDialog::mouseMoveEvent(event);
}

void CTool::enterEvent(EnterEvent *event)
{
    m_mouseOutside = false;
    update();
    startSlide(false);
    QDialog::enterEvent(event);
}

void CTool::leaveEvent(QEvent *event)
{
    m_mouseOutside = true;
    update();
    startSlide(true);
    QDialog::leaveEvent(event);
}

void CTool::paintEvent(QPaintEvent *event)
{
    {
        // The "@2x" picture on a denser screen, scaled smoothly where the ratio is not whole.
        const QString picture =
            m_mouseOutside ? QStringLiteral(":/line1") : QStringLiteral(":/line2");
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(0, 0, QImage(qt_findAtNxFile(picture, devicePixelRatioF())));
    }
    QDialog::paintEvent(event);
}

void CTool::showEvent(QShowEvent *event)
{
    if (m_firstShow) {
        m_firstShow = false;
        // Like the docking arithmetic, the corner comes from the area's size alone.
        setGeometry(m_availWidth - width(), m_availHeight - height(), width(), height());
    }
    QDialog::showEvent(event);
}
