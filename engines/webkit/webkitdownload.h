// SPDX-License-Identifier: MIT
#pragma once

#include "main/webdownload.h"

#include <QFile>
#include <QPointer>

class QNetworkReply;

// A download on QtWebKit: a reply the view would not show, or bytes a page made (a Blob).
// A reply's data goes to disk as it arrives: until the user has chosen a file, into a ".part"
// of its own in the download folder, which then moves to the chosen place.
class WebKitDownload final : public WebDownload
{
    Q_OBJECT

public:
    // Reads the reply, which may still be running; its manager keeps it.
    WebKitDownload(QNetworkReply *reply, const QString &suggestedName, const QString &folder,
                   QObject *parent = nullptr);
    WebKitDownload(const QByteArray &bytes, const QUrl &url, const QString &suggestedName,
                   QObject *parent = nullptr);
    ~WebKitDownload() override;

    QString suggestedFileName() const override { return m_name; }
    QUrl url() const override { return m_url; }
    void start(const QString &file) override;
    void cancel() override;

private:
    bool openPart(const QString &file);
    void take();
    void replyFinished();
    void completeIfReady();
    void fail(const QString &error);

    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QString m_name;
    QByteArray m_bytes;
    QFile m_part;
    bool m_started = false;
    bool m_replyDone = false;
};
