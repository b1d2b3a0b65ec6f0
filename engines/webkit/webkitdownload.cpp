// SPDX-License-Identifier: MIT
#include "engines/webkit/webkitdownload.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QRegularExpression>

WebKitDownload::WebKitDownload(QNetworkReply *reply, const QString &suggestedName, QObject *parent)
    : WebDownload(parent)
    , m_reply(reply)
    , m_url(reply->url())
    , m_name(suggestedName)
{
    reply->setParent(this);
    connect(reply, &QNetworkReply::readyRead, this, &WebKitDownload::take);
    connect(reply, &QNetworkReply::downloadProgress, this, &WebDownload::progress);
    connect(reply, &QNetworkReply::finished, this, [this] {
        if (m_reply->error() == QNetworkReply::NoError)
            finish();
        else if (m_reply->error() != QNetworkReply::OperationCanceledError)
            fail(m_reply->errorString());
    });
}

WebKitDownload::WebKitDownload(const QByteArray &bytes, const QUrl &url,
                               const QString &suggestedName, QObject *parent)
    : WebDownload(parent)
    , m_url(url)
    , m_name(suggestedName)
    , m_pending(bytes)
{
}

WebKitDownload::~WebKitDownload()
{
    if (!m_done)
        cancel();
}

QString WebKitDownload::nameFrom(const QByteArray &contentDisposition, const QUrl &url)
{
    // RFC 6266: filename* (percent-encoded, with its charset) wins over filename.
    static const QRegularExpression encoded(QStringLiteral("filename\\*\\s*=\\s*UTF-8''([^;\\s]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression plain(QStringLiteral("filename\\s*=\\s*\"?([^\";]+)\"?"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString header = QString::fromLatin1(contentDisposition);
    QString name;
    if (const QRegularExpressionMatch match = encoded.match(header); match.hasMatch())
        name = QUrl::fromPercentEncoding(match.captured(1).toLatin1());
    else if (const QRegularExpressionMatch match = plain.match(header); match.hasMatch())
        name = match.captured(1).trimmed();
    if (name.isEmpty())
        name = url.fileName();
    // Never a path: only the last part counts.
    name = QFileInfo(name).fileName();
    return name.isEmpty() ? QStringLiteral("download") : name;
}

void WebKitDownload::start(const QString &file)
{
    m_target = file;
    m_file.setFileName(file + QStringLiteral(".part"));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(m_file.errorString());
        return;
    }
    take();
    if (!m_reply || m_reply->isFinished())
        finish();
}

void WebKitDownload::cancel()
{
    fail(QString());
}

void WebKitDownload::take()
{
    if (m_reply)
        m_pending += m_reply->readAll();
    if (!m_file.isOpen() || m_pending.isEmpty())
        return;
    if (m_file.write(m_pending) != m_pending.size()) {
        fail(m_file.errorString());
        return;
    }
    m_pending.clear();
}

void WebKitDownload::finish()
{
    if (m_done || !m_file.isOpen())
        return;
    take();
    if (m_done)
        return;
    if (!m_file.flush()) {
        fail(m_file.errorString());
        return;
    }
    m_file.close();
    QFile::remove(m_target);
    if (!QFile::rename(m_file.fileName(), m_target)) {
        fail(QStringLiteral("无法写入 %1").arg(m_target));
        return;
    }
    m_done = true;
    emit progress(QFileInfo(m_target).size(), QFileInfo(m_target).size());
    emit finished(true, QString());
}

void WebKitDownload::fail(const QString &error)
{
    if (m_done)
        return;
    m_done = true;
    if (m_reply)
        m_reply->abort();
    // Nothing partial stays, also when only the last rename failed.
    if (!m_file.fileName().isEmpty())
        m_file.remove();
    emit finished(false, error);
}
