// SPDX-License-Identifier: MIT
#pragma once

#include "main/webdownload.h"

#include <QFile>
#include <QPointer>

class QNetworkReply;

// A download on QtWebKit: a reply the view would not show, or bytes a page made (a Blob).
// What arrives before the user has chosen a file waits in memory.
class WebKitDownload final : public WebDownload
{
    Q_OBJECT

public:
    // Takes over the reply, which may still be running.
    WebKitDownload(QNetworkReply *reply, const QString &suggestedName, QObject *parent = nullptr);
    WebKitDownload(const QByteArray &bytes, const QUrl &url, const QString &suggestedName,
                   QObject *parent = nullptr);
    ~WebKitDownload() override;

    QString suggestedFileName() const override { return m_name; }
    QUrl url() const override { return m_url; }
    void start(const QString &file) override;
    void cancel() override;

    // The name a response proposes: Content-Disposition's filename* or filename, else the last
    // part of the URL's path.
    static QString nameFrom(const QByteArray &contentDisposition, const QUrl &url);

private:
    void take();
    void finish();
    void fail(const QString &error);

    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QString m_name;
    QByteArray m_pending;
    QFile m_file;
    QString m_target;
    bool m_done = false;
};
