// SPDX-License-Identifier: MIT
#include "engines/webengine/webenginedownload.h"

#include <QFileInfo>

namespace {

// Chromium's reasons, in the user's words.
QString failure(QWebEngineDownloadRequest::DownloadInterruptReason reason, const QString &file)
{
    switch (reason) {
    case QWebEngineDownloadRequest::FileNoSpace:
        return QStringLiteral("磁盘空间不足");
    case QWebEngineDownloadRequest::FileAccessDenied:
        return QStringLiteral("没有权限写入 %1").arg(QFileInfo(file).absolutePath());
    case QWebEngineDownloadRequest::FileNameTooLong:
        return QStringLiteral("文件名太长");
    case QWebEngineDownloadRequest::FileTooLarge:
        return QStringLiteral("文件太大，磁盘放不下");
    case QWebEngineDownloadRequest::FileFailed:
    case QWebEngineDownloadRequest::FileTransientError:
    case QWebEngineDownloadRequest::FileTooShort:
    case QWebEngineDownloadRequest::FileHashMismatch:
        return QStringLiteral("无法写入 %1").arg(QFileInfo(file).fileName());
    case QWebEngineDownloadRequest::NetworkTimeout:
        return QStringLiteral("服务器没有及时响应");
    case QWebEngineDownloadRequest::NetworkServerDown:
    case QWebEngineDownloadRequest::ServerUnreachable:
        return QStringLiteral("无法连接到服务器");
    case QWebEngineDownloadRequest::ServerCertProblem:
        return QStringLiteral("无法验证服务器的证书");
    case QWebEngineDownloadRequest::ServerUnauthorized:
    case QWebEngineDownloadRequest::ServerForbidden:
        return QStringLiteral("服务器拒绝了下载");
    case QWebEngineDownloadRequest::ServerFailed:
    case QWebEngineDownloadRequest::ServerBadContent:
        return QStringLiteral("服务器出错了");
    default:
        return QStringLiteral("连接中断");
    }
}

} // namespace

WebEngineDownload::WebEngineDownload(QWebEngineDownloadRequest *item, QObject *parent)
    : WebDownload(parent)
    , m_item(item)
    , m_name(safeFileName(item->suggestedFileName()))
{
    DownloadRequest::onProgress(
        item, this, [this](qint64 received, qint64 total) { setProgress(received, total); });
    connect(item, &QWebEngineDownloadRequest::stateChanged, this, &WebEngineDownload::stateChanged);
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
    if (m_item && m_item->state() != QWebEngineDownloadRequest::DownloadCancelled
        && m_item->state() != QWebEngineDownloadRequest::DownloadCompleted)
        m_item->cancel();
}

void WebEngineDownload::stateChanged()
{
    if (hasEnded() || !m_item)
        return;
    switch (m_item->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        complete();
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        end(QString());
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        stop(failure(m_item->interruptReason(), file()));
        break;
    default:
        break;
    }
}
