// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitdownload.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>

namespace {

// Why a download's connection failed, in the user's words.
QString networkFailure(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400)
        return QStringLiteral("服务器返回错误 %1").arg(status);
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("无法连接到服务器");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("服务器没有及时响应");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("无法验证服务器 %1 的证书").arg(reply->url().host());
    default:
        return QStringLiteral("连接中断");
    }
}

} // namespace

WebKitDownload::WebKitDownload(QNetworkReply *reply, const QString &suggestedName,
                               const QString &folder, QObject *parent)
    : WebDownload(parent)
    , m_reply(reply)
    , m_url(reply->url())
    , m_name(safeFileName(suggestedName))
{
    connect(reply, &QNetworkReply::readyRead, this, &WebKitDownload::take);
    connect(reply, &QNetworkReply::downloadProgress, this, &WebKitDownload::setProgress);
    connect(reply, &QNetworkReply::finished, this, &WebKitDownload::replyFinished);
    // Never held in memory while the user chooses where it goes.
    if (!QDir().mkpath(folder) || !openPart(uniqueFile(folder, m_name)))
        return;
    take();
    if (reply->isFinished())
        replyFinished();
}

WebKitDownload::WebKitDownload(const QByteArray &bytes, const QUrl &url,
                               const QString &suggestedName, QObject *parent)
    : WebDownload(parent)
    , m_url(url)
    , m_name(safeFileName(suggestedName))
    , m_bytes(bytes)
    , m_replyDone(true)
{
}

WebKitDownload::~WebKitDownload()
{
    // Before: this ran at exit after the reply's manager was gone, and aborting it crashed.
    cancel();
}

bool WebKitDownload::openPart(const QString &file)
{
    setFile(file);
    m_part.setFileName(partFile(file));
    // A new file of its own, never one that was there (a link included).
    if (!m_part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        fail(writeFailure(m_part.fileName()));
        return false;
    }
    m_part.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    setPartWritten(true);
    return true;
}

void WebKitDownload::start(const QString &file)
{
    if (hasEnded() || m_started)
        return;
    m_started = true;
    if (m_reply.isNull() && !m_replyDone)
        return fail(QStringLiteral("连接中断"));
    if (!m_part.isOpen()) {
        if (!openPart(file) || (!m_bytes.isEmpty() && m_part.write(m_bytes) != m_bytes.size()))
            return fail(writeFailure(file));
        m_bytes.clear();
    } else if (file != this->file()) {
        // The user chose another place: what arrived so far moves there and the rest follows.
        m_part.close();
        if (!QFile::rename(partFile(this->file()), partFile(file)))
            return fail(writeFailure(file));
        setFile(file);
        m_part.setFileName(partFile(file));
        if (!m_part.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(writeFailure(file));
    }
    completeIfReady();
}

void WebKitDownload::cancel()
{
    if (hasEnded())
        return;
    fail(QString());
}

void WebKitDownload::take()
{
    if (m_reply.isNull() || hasEnded() || !m_part.isOpen())
        return;
    const QByteArray data = m_reply->readAll();
    if (!data.isEmpty() && m_part.write(data) != data.size())
        fail(writeFailure(file()));
}

void WebKitDownload::replyFinished()
{
    if (hasEnded() || m_reply.isNull())
        return;
    if (m_reply->error() != QNetworkReply::NoError)
        return fail(networkFailure(m_reply));
    take();
    m_replyDone = true;
    completeIfReady();
}

void WebKitDownload::completeIfReady()
{
    if (hasEnded() || !m_started || !m_replyDone)
        return;
    if (!m_part.flush())
        return fail(writeFailure(file()));
    m_part.close();
    complete();
}

void WebKitDownload::fail(const QString &error)
{
    if (hasEnded())
        return;
    if (m_reply) {
        // Its signals would come back here while this ends, or after.
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
    m_part.close();
    end(error);
}
