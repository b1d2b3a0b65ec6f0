// SPDX-License-Identifier: MIT
#include "main/browserpane.h"

#include "common/apppaths.h"
#include "common/globals.h"
#include "main/downloadrow.h"
#include "main/failurepanel.h"
#include "main/findbar.h"
#include "main/webdownload.h"
#include "main/webengines.h"
#include "main/webnavigation.h"
#include "net/chttp.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSaveFile>
#include <QShortcut>
#include <QStackedLayout>
#include <QStandardPaths>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <utility>

namespace {

// Zoom factors by user, kept from one run to the next.
QString zoomFile()
{
    return AppPaths::dataDirectory() + QStringLiteral("/zoom.json");
}

QJsonObject zoomByUser()
{
    QFile file(zoomFile());
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

} // namespace

BrowserPane::BrowserPane(const QString &engine, const WebView::Settings &settings,
                         int loadTimeoutMs, QWidget *parent)
    : QWidget(parent)
    , m_loadTimeoutMs(loadTimeoutMs)
    , m_saveFolder(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(3);
    m_progress->setAccessibleName(QStringLiteral("网页加载进度"));
    m_progress->setStyleSheet(QStringLiteral("QProgressBar{border:none;background:transparent;}"
                                             "QProgressBar::chunk{background-color:#5AA0F0;}"));
    m_progress->hide();
    layout->addWidget(m_progress);
    m_stack = new QStackedLayout;
    layout->addLayout(m_stack, 1);

    QString problem;
    m_view = WebEngines::create(engine, settings, this, &problem);
    if (!m_view) {
        // The window still lives in the tray and obeys the tool; it tells why it shows nothing.
        auto *message = new QLabel(
            QStringLiteral("无法显示平台的网页：找不到可用的网页内核。\n") + problem, this);
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        m_stack->addWidget(message);
        return;
    }
    m_stack->addWidget(m_view);
    m_failure = new FailurePanel(this);
    m_stack->addWidget(m_failure);
    m_findBar = new FindBar(this);
    layout->addWidget(m_findBar);
    m_downloads = new QVBoxLayout;
    m_downloads->setSpacing(1);
    layout->addLayout(m_downloads);
    m_probe = new CHttp(this, 10000);

    m_view->setNavigationHook([this](const WebView::Navigation &navigation) {
        const bool accepted = WebNavigation::handle(navigation);
        if (navigation.mainFrame)
            m_lastRefused = !accepted;
        return accepted;
    });
    connect(m_view, &WebView::loadStarted, this, &BrowserPane::started);
    connect(m_view, &WebView::loadProgress, m_progress, &QProgressBar::setValue);
    connect(m_view, &WebView::loadFinished, this, &BrowserPane::finished);
    connect(m_view, &WebView::zoomRequested, this, &BrowserPane::zoomBy);
    connect(m_view, &WebView::printRequested, m_view, &WebView::print);
    connect(m_view, &WebView::contextMenuRequested, this, &BrowserPane::showContextMenu);
    connect(m_view, &WebView::downloadRequested, this, &BrowserPane::download);
    connect(m_view, &WebView::findFinished, m_findBar, &FindBar::setFound);
    connect(m_findBar, &FindBar::find, m_view, &WebView::findText);
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_view->findText(QString(), false);
        m_view->setFocus();
    });
    connect(m_failure, &FailurePanel::retryRequested, this, &BrowserPane::retry);
    setUpShortcuts();
}

void BrowserPane::setUpShortcuts()
{
    const auto on = [this](const QKeySequence &keys, auto action) {
        connect(new QShortcut(keys, this, nullptr, nullptr, Qt::WindowShortcut),
                &QShortcut::activated, this, action);
    };
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)})
        on(keys, [this] { m_view->reload(false); });
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)})
        on(keys, [this] { m_view->reload(true); });
    on(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { m_view->back(); });
    on(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { m_view->forward(); });
    on(QKeySequence::Find, [this] { m_findBar->open(); });
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        on(keys, [this] { zoomBy(1); });
    on(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { zoomBy(-1); });
    on(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(1.0); });
    on(QKeySequence::Print, [this] { m_view->print(); });
}

void BrowserPane::load(const QUrl &url)
{
    if (m_view)
        m_view->load(url);
}

void BrowserPane::setUser(const QString &user)
{
    m_user = user;
    if (m_view)
        m_view->setZoomFactor(zoomByUser().value(user).toDouble(1.0));
}

void BrowserPane::started()
{
    m_becameDownload = false;
    m_timedOut = false;
    m_progress->setValue(0);
    m_progress->show();
    if (m_loadTimer > 0)
        killTimer(m_loadTimer);
    m_loadTimer = startTimer(m_loadTimeoutMs);
}

void BrowserPane::finished(bool ok)
{
    if (m_loadTimer > 0)
        killTimer(m_loadTimer);
    m_loadTimer = 0;
    m_progress->hide();
    // A navigation the rules refused, or one that became a download, is no failed page.
    if (ok || ((m_lastRefused || m_becameDownload) && !m_timedOut)) {
        if (ok) {
            m_attempts = 0;
            m_stack->setCurrentWidget(m_view);
            if (Browsing::isPlatformLogin(m_view->url(), g_baseUrl)) {
                m_next.clear();
                emit platformLoginShown();
            } else {
                m_lastPage = m_view->url();
            }
            if (m_next.isValid())
                m_view->load(std::exchange(m_next, QUrl()));
        }
        return;
    }
    m_next.clear();
    m_failedUrl = m_view->url();
    if (m_timedOut)
        failed(Browsing::Failure::Timeout, 0);
    else
        probe();
}

void BrowserPane::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_loadTimer)
        return QWidget::timerEvent(event);
    // No answer in time counts as failed, like no connection.
    killTimer(m_loadTimer);
    m_loadTimer = 0;
    m_timedOut = true;
    m_view->stop();
    finished(false);
}

void BrowserPane::probe()
{
    // The engines say only that a page failed: a request of our own tells why.
    QNetworkReply *reply = m_probe->get(m_failedUrl.toString());
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        failed(Browsing::classify(reply->error(), status), status);
    });
}

void BrowserPane::failed(Browsing::Failure failure, int httpStatus)
{
    // A certificate does not mend itself: that one waits for the user.
    const int seconds =
        failure == Browsing::Failure::Certificate ? -1 : Browsing::retryDelaySeconds(m_attempts);
    const Browsing::Message message = Browsing::describe(failure, httpStatus, m_failedUrl.host());
    qDebug().noquote() << "page failed:" << message.title << "- retry in" << seconds << "s";
    m_failure->showFailure(message, seconds);
    m_stack->setCurrentWidget(m_failure);
}

void BrowserPane::retry()
{
    ++m_attempts;
    m_view->load(m_failedUrl);
}

void BrowserPane::zoomBy(int steps)
{
    setZoom(Browsing::zoomed(m_view->zoomFactor(), steps));
}

void BrowserPane::setZoom(qreal factor)
{
    m_view->setZoomFactor(factor);
    if (m_user.isEmpty())
        return;
    QJsonObject zooms = zoomByUser();
    zooms.insert(m_user, factor);
    const QByteArray text = QJsonDocument(zooms).toJson(QJsonDocument::Compact);
    QSaveFile file(zoomFile());
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush())
        file.commit();
    else
        file.cancelWriting();
}

void BrowserPane::showContextMenu(const QPoint &globalPos, const QUrl &link, bool hasSelection)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("后退"), m_view, &WebView::back);
    menu.addAction(QStringLiteral("前进"), m_view, &WebView::forward);
    menu.addAction(QStringLiteral("重新加载"), this, [this] { m_view->reload(false); });
    if (hasSelection || !link.isEmpty())
        menu.addSeparator();
    if (hasSelection)
        menu.addAction(QStringLiteral("复制"), m_view, &WebView::copySelection);
    if (!link.isEmpty()) {
        menu.addAction(QStringLiteral("复制链接地址"), this, [link] {
            QApplication::clipboard()->setText(link.toString(QUrl::FullyEncoded));
        });
        // Only a web page goes to the browser, as with every other link.
        if (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
            menu.addAction(QStringLiteral("在浏览器中打开链接"), this,
                           [link] { QDesktopServices::openUrl(link); });
    }
    menu.exec(globalPos);
}

void BrowserPane::cancelDownloads()
{
    for (WebDownload *download : findChildren<WebDownload *>())
        download->cancel();
}

void BrowserPane::download(WebDownload *download)
{
    m_becameDownload = true;
    // The usual folder, made if this is the first download ever.
    QDir().mkpath(m_saveFolder);
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("保存文件"),
                                     QDir(m_saveFolder).filePath(download->suggestedFileName()));
    if (file.isEmpty()) {
        download->cancel();
        download->deleteLater();
        return;
    }
    m_saveFolder = QFileInfo(file).absolutePath();
    // The row first: a download that arrived while the dialog was open ends within start().
    m_downloads->addWidget(new DownloadRow(download, file, this));
    download->start(file);
}
