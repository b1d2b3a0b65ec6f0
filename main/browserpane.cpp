// SPDX-License-Identifier: MIT
#include "main/browserpane.h"

#include "common/apppaths.h"
#include "common/globals.h"
#include "common/privatefile.h"
#include "main/downloadrow.h"
#include "main/failurepanel.h"
#include "main/findbar.h"
#include "main/webdownload.h"
#include "main/webengines.h"
#include "main/webnavigation.h"
#include "net/chttp.h"
#include "platform/platform.h"

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
#include <QMessageBox>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QStandardPaths>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString ZoomFile = QStringLiteral("zoom.json");
// The ".part" files of downloads under way, so that those a killed Orvane left are removed.
const QString PartialFiles = QStringLiteral("partial-downloads");

QString dataFile(const QString &name)
{
    return AppPaths::dataDirectory() + QLatin1Char('/') + name;
}

// Zoom factors by user, kept from one run to the next.
QJsonObject zoomByUser()
{
    return QJsonDocument::fromJson(PrivateFile::read(dataFile(ZoomFile), 1 << 20).value_or(""))
        .object();
}

// A response the view hands over as a download rather than a page.
bool isAttachment(const QNetworkReply *reply)
{
    return reply->rawHeader("Content-Disposition").trimmed().toLower().startsWith("attachment");
}

} // namespace

BrowserPane::BrowserPane(const QString &engine, const WebView::Settings &settings,
                         const Options &options, QWidget *parent)
    : QWidget(parent)
    , m_options(options)
    , m_downloadFolder(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
    , m_saveFolder(m_downloadFolder)
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

    // What an interrupted run left: half-written files of ours.
    PrivateFile::removeStrays(AppPaths::dataDirectory(), {ZoomFile, PartialFiles});
    const QByteArray partial = PrivateFile::read(dataFile(PartialFiles), 1 << 20).value_or("");
    for (const QByteArray &path : partial.split('\n')) {
        // QtWebEngine writes its ".part" under a name of its own until it is complete.
        for (const QString &name :
             {QString::fromUtf8(path), QString::fromUtf8(path + ".download")}) {
            const QFileInfo part(name);
            if (part.fileName().contains(QLatin1String(".part")) && part.isFile()
                && !part.isSymLink())
                QFile::remove(part.filePath());
        }
    }

    // The engines open their files there as they find them (Chromium its cookie database): a
    // link planted among them would be written through.
    PrivateFile::removeLinks(settings.storagePath, 2);
    WebView::Settings engineSettings = settings;
    engineSettings.downloadFolder = m_downloadFolder;
    QString problem;
    m_view = WebEngines::create(engine, engineSettings, this, &problem);
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
    if (!problem.isEmpty()) {
        // The teacher sees the platform, and why it may look older than elsewhere.
        auto *notice = new QLabel(
            QStringLiteral("所选的网页内核无法启动，已改用另一个网页内核显示平台。"), this);
        notice->setObjectName(QStringLiteral("engineNotice"));
        notice->setStyleSheet(QStringLiteral("background:#FFF4E5;color:#8A5300;padding:4px 8px;"));
        notice->setToolTip(problem);
        layout->insertWidget(1, notice);
    }
    m_failure = new FailurePanel(this);
    m_stack->addWidget(m_failure);
    m_findBar = new FindBar(this);
    layout->addWidget(m_findBar);
    m_downloads = new QVBoxLayout;
    m_downloads->setSpacing(1);
    layout->addLayout(m_downloads);
    m_probe = new CHttp(this, 10000);
    m_zoomLevel = new QLabel(this);
    m_zoomLevel->setObjectName(QStringLiteral("zoomLevel"));
    m_zoomLevel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_zoomLevel->setStyleSheet(
        QStringLiteral("background:rgba(40,40,40,200);color:white;"
                       "border-radius:6px;padding:6px 16px;font-size:16px;"));
    m_zoomLevel->hide();
    m_zoomShown = new QTimer(this);
    m_zoomShown->setSingleShot(true);
    m_zoomShown->setInterval(1500);
    connect(m_zoomShown, &QTimer::timeout, m_zoomLevel, &QWidget::hide);

    m_view->setNavigationHook([this](const WebView::Navigation &navigation) {
        const bool accepted = WebNavigation::handle(navigation);
        // The next hop of a navigation is still the page that was asked for.
        if (accepted && navigation.mainFrame
            && navigation.type != WebView::NavigationType::Redirect)
            navigationAccepted(navigation.url);
        return accepted;
    });
    connect(m_view, &WebView::loadStarted, this, &BrowserPane::started);
    connect(m_view, &WebView::loadProgress, m_progress, &QProgressBar::setValue);
    connect(m_view, &WebView::loadFinished, this, &BrowserPane::finished);
    connect(m_view, &WebView::loadCancelled, this, &BrowserPane::cancelled);
    connect(m_view, &WebView::loadError, this,
            [this](QNetworkReply::NetworkError error, int httpStatus) {
                m_engineError = {m_navigation, error, httpStatus};
            });
    connect(m_view, &WebView::zoomRequested, this, &BrowserPane::zoomBy);
    connect(m_view, &WebView::printRequested, m_view, &WebView::print);
    connect(m_view, &WebView::contextMenuRequested, this, &BrowserPane::showContextMenu);
    connect(m_view, &WebView::permissionRequested, this, &BrowserPane::askPermission);
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

BrowserPane::~BrowserPane()
{
    // Before the view, whose engine the downloads still use: before, a download running at
    // exit outlived its network and crashed Orvane.
    cancelDownloads();
    qDeleteAll(downloadRows());
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
    // Another teacher answers for themselves.
    if (user != m_user)
        m_permissions.clear();
    m_user = user;
    if (m_view)
        m_view->setZoomFactor(zoomByUser().value(user).toDouble(1.0));
}

void BrowserPane::navigationAccepted(const QUrl &url)
{
    ++m_navigation;
    m_requested = url;
    // The teacher has moved on: what a failed page had pending is of no use any more.
    if (m_probeReply)
        m_probeReply->abort();
    m_failure->stopCountdown();
    // Chromium goes on from the load it replaces without a start of its own.
    m_replacing = m_loading;
    if (m_loading)
        started();
}

void BrowserPane::started()
{
    m_loading = true;
    m_progress->setValue(0);
    m_progress->show();
    if (m_loadTimer > 0)
        killTimer(m_loadTimer);
    m_loadTimer = startTimer(m_options.loadTimeoutMs);
}

void BrowserPane::stopLoadTimer()
{
    m_loading = false;
    if (m_loadTimer > 0)
        killTimer(m_loadTimer);
    m_loadTimer = 0;
    m_progress->hide();
}

void BrowserPane::cancelled()
{
    // Stopped, replaced by a newer navigation, refused or become a download: no failed page.
    if (m_loading)
        stopLoadTimer();
}

void BrowserPane::finished(bool ok)
{
    const bool replacing = std::exchange(m_replacing, false);
    stopLoadTimer();
    if (!ok && m_engineError.navigation == m_navigation) {
        failed(m_navigation, m_requested,
               Browsing::classify(m_engineError.error, m_engineError.httpStatus),
               m_engineError.httpStatus);
        return;
    }
    if (!ok) {
        probe(m_navigation, m_requested);
        return;
    }
    m_attempts = 0;
    m_failedNavigation = 0;
    m_stack->setCurrentWidget(m_view);
    if (Browsing::isPlatformLogin(m_view->url(), g_baseUrl)) {
        m_next.clear();
        emit platformLoginShown();
        return;
    }
    m_lastPage = m_view->url();
    // Only the load it replaced may have ended (QtWebEngine 6 then says nothing more of a
    // newer one that could not connect): a request of our own tells whether that one failed.
    if (replacing && m_lastPage != m_requested)
        probe(m_navigation, m_requested, true);
    emit pageLoaded(m_lastPage);
    if (m_next.isValid())
        m_view->load(std::exchange(m_next, QUrl()));
}

void BrowserPane::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_loadTimer)
        return QWidget::timerEvent(event);
    // No answer in time counts as failed, like no connection; the engine's own end of the
    // stopped load is then no news.
    stopLoadTimer();
    m_view->stop();
    failed(m_navigation, m_requested, Browsing::Failure::Timeout, 0);
}

void BrowserPane::probe(quint64 navigation, const QUrl &url, bool onlyFailures)
{
    // The engines say only that a page failed: a request of our own tells why. Its headers
    // are enough, so a large file is not fetched twice.
    if (m_probeReply)
        m_probeReply->abort();
    QNetworkReply *reply = m_probeReply = m_probe->get(url.toString());
    const auto answered = [this, reply, navigation, url, onlyFailures] {
        if (reply->property("answered").toBool())
            return;
        reply->setProperty("answered", true);
        reply->deleteLater();
        // Chromium fails a navigation that turns into a download before it reports the download.
        if (navigation != m_navigation || navigation == m_downloadNavigation || isAttachment(reply))
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (onlyFailures && reply->error() == QNetworkReply::NoError && status < 400)
            return;
        failed(navigation, url, Browsing::classify(reply->error(), status), status);
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, answered] {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
            answered();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, answered);
}

void BrowserPane::failed(quint64 navigation, const QUrl &url, Browsing::Failure failure,
                         int httpStatus)
{
    // One failure is told once.
    if (navigation == m_failedNavigation || navigation != m_navigation)
        return;
    m_failedNavigation = navigation;
    m_failedUrl = url;
    m_next.clear();
    // A certificate does not mend itself: that one waits for the user.
    const int seconds =
        failure == Browsing::Failure::Certificate ? -1 : Browsing::retryDelaySeconds(m_attempts);
    const Browsing::Message message = Browsing::describe(failure, httpStatus, url.host());
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
    m_zoomLevel->setText(QStringLiteral("%1%").arg(qRound(factor * 100)));
    m_zoomLevel->adjustSize();
    const QRect page = m_view->geometry();
    m_zoomLevel->move(page.center().x() - m_zoomLevel->width() / 2, page.top() + 16);
    m_zoomLevel->show();
    m_zoomLevel->raise();
    m_zoomShown->start();
    if (m_user.isEmpty())
        return;
    QJsonObject zooms = zoomByUser();
    zooms.insert(m_user, factor);
    PrivateFile::write(dataFile(ZoomFile), QJsonDocument(zooms).toJson(QJsonDocument::Compact));
}

void BrowserPane::showContextMenu(const QPoint &globalPos, const QUrl &link, bool hasSelection,
                                  bool editable, bool document)
{
    QMenu menu(this);
    if (document) {
        menu.addAction(QStringLiteral("保存"), m_view, &WebView::saveDocument);
        menu.addAction(QStringLiteral("打印"), m_view, &WebView::print);
        menu.addSeparator();
    }
    if (editable) {
        using Edit = WebView::EditAction;
        static const std::pair<Edit, const char *> entries[] = {
            {Edit::Undo, "撤销"},     {Edit::Redo, "重做"},  {Edit::Cut, "剪切"},
            {Edit::Copy, "复制"},     {Edit::Paste, "粘贴"}, {Edit::Delete, "删除"},
            {Edit::SelectAll, "全选"}};
        for (const auto &[action, text] : entries) {
            if (action == Edit::Cut || action == Edit::SelectAll)
                menu.addSeparator();
            QAction *entry = menu.addAction(QString::fromUtf8(text), this,
                                            [this, action = action] { m_view->edit(action); });
            entry->setEnabled(m_view->canEdit(action));
        }
        menu.addSeparator();
    }
    menu.addAction(QStringLiteral("后退"), m_view, &WebView::back);
    menu.addAction(QStringLiteral("前进"), m_view, &WebView::forward);
    menu.addAction(QStringLiteral("重新加载"), this, [this] { m_view->reload(false); });
    if ((hasSelection && !editable) || !link.isEmpty())
        menu.addSeparator();
    if (hasSelection && !editable)
        menu.addAction(QStringLiteral("复制"), this,
                       [this] { m_view->edit(WebView::EditAction::Copy); });
    if (!link.isEmpty()) {
        menu.addAction(QStringLiteral("复制链接地址"), this, [link] {
            QApplication::clipboard()->setText(link.toString(QUrl::FullyEncoded));
        });
        // Only a web page goes to the browser, as with every other link.
        if (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
            menu.addAction(QStringLiteral("在浏览器中打开链接"), this, [link] {
                const Platform::SharedFileMask forTheUser;
                QDesktopServices::openUrl(link);
            });
    }
    menu.exec(globalPos);
}

void BrowserPane::askPermission(const QUrl &origin, WebView::Feature feature,
                                const WebView::Answer &answer)
{
    const QString key = origin.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
        + QLatin1Char(' ') + QString::number(int(feature));
    if (m_permissions.contains(key))
        return answer(m_permissions.value(key));
    const QString what = feature == WebView::Feature::Camera ? QStringLiteral("摄像头")
        : feature == WebView::Feature::Microphone            ? QStringLiteral("麦克风")
                                                  : QStringLiteral("摄像头和麦克风");
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("智慧校园公共云平台"),
                                QStringLiteral("%1 请求使用您的%2。").arg(origin.host(), what),
                                QMessageBox::NoButton, this);
    QPushButton *allow = box->addButton(QStringLiteral("允许"), QMessageBox::AcceptRole);
    box->setEscapeButton(box->addButton(QStringLiteral("拒绝"), QMessageBox::RejectRole));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, allow, key, answer] {
        const bool granted = box->clickedButton() == allow;
        m_permissions.insert(key, granted);
        answer(granted);
    });
    box->open();
}

void BrowserPane::download(WebDownload *download)
{
    m_downloadNavigation = m_navigation;
    // Where a download already waits (QtWebKit keeps what arrives in the download folder)
    // is where it stays, unless the user chooses another place.
    QString file = download->file();
    if (m_options.askWhereToSave) {
        QDir().mkpath(m_saveFolder);
        const QString proposed = QFileInfo(file).absolutePath() == QDir(m_saveFolder).absolutePath()
            ? file
            : WebDownload::uniqueFile(m_saveFolder, download->suggestedFileName());
        const QString chosen =
            QFileDialog::getSaveFileName(this, QStringLiteral("保存文件"), proposed, QString(),
                                         nullptr, QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty()) {
            download->cancel();
            download->deleteLater();
            return;
        }
        m_saveFolder = QFileInfo(chosen).absolutePath();
        // The user's folder, but a name of the download's own: nothing is ever replaced.
        if (chosen != file)
            file = WebDownload::uniqueFile(m_saveFolder,
                                           WebDownload::safeFileName(QFileInfo(chosen).fileName()));
    } else if (file.isEmpty()) {
        QDir().mkpath(m_downloadFolder);
        file = WebDownload::uniqueFile(m_downloadFolder, download->suggestedFileName());
    }
    // The row first: it shows how the download ends, also if that is within start().
    auto *row = new DownloadRow(download, this);
    m_downloads->addWidget(row);
    connect(download, &WebDownload::finished, this, &BrowserPane::notePartialFiles);
    download->start(file);
    notePartialFiles();
}

QList<DownloadRow *> BrowserPane::downloadRows() const
{
    return findChildren<DownloadRow *>(QString(), Qt::FindDirectChildrenOnly);
}

int BrowserPane::runningDownloads() const
{
    int running = 0;
    for (const DownloadRow *row : downloadRows())
        running += !row->download()->hasEnded();
    return running;
}

void BrowserPane::cancelDownloads()
{
    for (DownloadRow *row : downloadRows())
        row->download()->cancel();
}

void BrowserPane::notePartialFiles()
{
    QByteArray list;
    for (const DownloadRow *row : downloadRows()) {
        if (!row->download()->hasEnded() && !row->download()->file().isEmpty())
            list += WebDownload::partFile(row->download()->file()).toUtf8() + '\n';
    }
    PrivateFile::write(dataFile(PartialFiles), list);
}
