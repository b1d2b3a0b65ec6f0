// SPDX-License-Identifier: MIT
#include "engines/webengine/webenginedownload.h"

#include <QFileInfo>
#include <QWebEngineDownloadItem>

namespace {

// Chromium's reasons, in the user's words.
QString failure(QWebEngineDownloadItem::DownloadInterruptReason reason, const QString &file)
{
    switch (reason) {
    case QWebEngineDownloadItem::FileNoSpace:
        return QStringLiteral("磁盘空间不足");
    case QWebEngineDownloadItem::FileAccessDenied:
        return QStringLiteral("没有权限写入 %1").arg(QFileInfo(file).absolutePath());
    case QWebEngineDownloadItem::FileNameTooLong:
        return QStringLiteral("文件名太长");
    case QWebEngineDownloadItem::FileTooLarge:
        return QStringLiteral("文件太大，磁盘放不下");
    case QWebEngineDownloadItem::FileFailed:
    case QWebEngineDownloadItem::FileTransientError:
    case QWebEngineDownloadItem::FileTooShort:
    case QWebEngineDownloadItem::FileHashMismatch:
        return QStringLiteral("无法写入 %1").arg(QFileInfo(file).fileName());
    case QWebEngineDownloadItem::NetworkTimeout:
        return QStringLiteral("服务器没有及时响应");
    case QWebEngineDownloadItem::NetworkServerDown:
    case QWebEngineDownloadItem::ServerUnreachable:
        return QStringLiteral("无法连接到服务器");
    case QWebEngineDownloadItem::ServerCertProblem:
        return QStringLiteral("无法验证服务器的证书");
    case QWebEngineDownloadItem::ServerUnauthorized:
    case QWebEngineDownloadItem::ServerForbidden:
        return QStringLiteral("服务器拒绝了下载");
    case QWebEngineDownloadItem::ServerFailed:
    case QWebEngineDownloadItem::ServerBadContent:
        return QStringLiteral("服务器出错了");
    default:
        return QStringLiteral("连接中断");
    }
}

} // namespace

WebEngineDownload::WebEngineDownload(QWebEngineDownloadItem *item, QObject *parent)
    : WebDownload(parent)
    , m_item(item)
    , m_name(safeFileName(item->suggestedFileName()))
{
    connect(item, &QWebEngineDownloadItem::downloadProgress, this, &WebEngineDownload::setProgress);
    connect(item, &QWebEngineDownloadItem::stateChanged, this, &WebEngineDownload::stateChanged);
}

WebEngineDownload::~WebEngineDownload()
{
    cancel();
}

QUrl WebEngineDownload::url() const
{
    return m_item ? m_item->url() : QUrl();
}

void WebEngineDownload::start(const QString &file)
{
    if (!m_item || m_started || hasEnded())
        return;
    // Written under a name of its own until complete, as every download of ours is.
    m_started = true;
    setFile(file);
    const QFileInfo target(file);
    m_item->setDownloadDirectory(target.absolutePath());
    m_item->setDownloadFileName(partFile(target.fileName()));
    m_item->accept();
    setPartWritten(true);
}

void WebEngineDownload::cancel()
{
    stop(QString());
}

void WebEngineDownload::broken()
{
    stop(QStringLiteral("连接中断"));
}

void WebEngineDownload::stop(const QString &error)
{
    if (!end(error))
        return;
    // Over: neither resumed later behind the user's back nor left half written. The item's
    // own report of it comes back here and finds the download ended.
    if (m_item && m_item->state() != QWebEngineDownloadItem::DownloadCancelled
        && m_item->state() != QWebEngineDownloadItem::DownloadCompleted)
        m_item->cancel();
}

void WebEngineDownload::stateChanged()
{
    if (hasEnded() || !m_item)
        return;
    switch (m_item->state()) {
    case QWebEngineDownloadItem::DownloadCompleted:
        complete();
        break;
    case QWebEngineDownloadItem::DownloadCancelled:
        end(QString());
        break;
    case QWebEngineDownloadItem::DownloadInterrupted:
        stop(failure(m_item->interruptReason(), file()));
        break;
    default:
        break;
    }
}
