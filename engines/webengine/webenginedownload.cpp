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
    const QString part = m_target + QStringLiteral(".part");
    switch (m_item->state()) {
    case QWebEngineDownloadItem::DownloadCompleted:
        m_done = true;
        QFile::remove(m_target);
        if (QFile::rename(part, m_target))
            emit finished(true, QString());
        else
            emit finished(false, QStringLiteral("无法写入 %1").arg(m_target));
        break;
    case QWebEngineDownloadItem::DownloadCancelled:
    case QWebEngineDownloadItem::DownloadInterrupted:
        m_done = true;
        QFile::remove(part);
        emit finished(false,
                      m_item->state() == QWebEngineDownloadItem::DownloadCancelled
                          ? QString()
                          : m_item->interruptReasonString());
        break;
    default:
        break;
    }
}
