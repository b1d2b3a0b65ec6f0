// SPDX-License-Identifier: MIT
#include "engines/webengine/webenginedownload.h"

#include <QFile>
#include <QFileInfo>
#include <QWebEngineDownloadItem>

WebEngineDownload::WebEngineDownload(QWebEngineDownloadItem *item, QObject *parent)
    : WebDownload(parent)
    , m_item(item)
    , m_name(item->suggestedFileName()) // the item's changes to the file's once it starts
{
    connect(item, &QWebEngineDownloadItem::downloadProgress, this, &WebDownload::progress);
    connect(item, &QWebEngineDownloadItem::stateChanged, this, &WebEngineDownload::stateChanged);
}

QString WebEngineDownload::suggestedFileName() const
{
    return m_name;
}

QUrl WebEngineDownload::url() const
{
    return m_item ? m_item->url() : QUrl();
}

void WebEngineDownload::start(const QString &file)
{
    if (!m_item)
        return;
    // Written under a name of its own until complete, as every download of ours is.
    m_target = file;
    const QFileInfo target(file);
    m_item->setDownloadDirectory(target.absolutePath());
    m_item->setDownloadFileName(target.fileName() + QStringLiteral(".part"));
    m_item->accept();
}

void WebEngineDownload::cancel()
{
    if (m_item && !m_done)
        m_item->cancel();
}

void WebEngineDownload::stateChanged()
{
    if (m_done || !m_item)
        return;
    switch (m_item->state()) {
    case QWebEngineDownloadItem::DownloadCompleted:
        QFile::remove(m_target);
        if (!QFile::rename(m_target + QStringLiteral(".part"), m_target))
            return end(QStringLiteral("无法写入 %1").arg(m_target));
        m_done = true;
        emit finished(true, QString());
        break;
    case QWebEngineDownloadItem::DownloadCancelled:
        end(QString());
        break;
    case QWebEngineDownloadItem::DownloadInterrupted:
        end(m_item->interruptReasonString());
        break;
    default:
        break;
    }
}

void WebEngineDownload::broken()
{
    end(QStringLiteral("连接中断"));
}

void WebEngineDownload::end(const QString &error)
{
    if (m_done)
        return;
    m_done = true;
    // Over: neither resumed later behind the user's back nor left half written.
    if (m_item && m_item->state() != QWebEngineDownloadItem::DownloadCancelled)
        m_item->cancel();
    QFile::remove(m_target + QStringLiteral(".part"));
    emit finished(false, error);
}
