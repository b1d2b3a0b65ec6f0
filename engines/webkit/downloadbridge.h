// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWebFrame;

// QtWebKit neither saves nor reports the downloads a page starts with <a download>, Blob and
// data: ones among them: a script of ours in each frame hands them here.
class DownloadBridge final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Puts the bridge and its script into the frame (again after every page load).
    void watch(QWebFrame *frame);

public slots:
    // Bytes a page made, read by the script (base64).
    void save(const QString &href, const QString &name, const QString &base64);
    // An address to fetch with the page's own network access (http, data:).
    void fetch(const QString &href, const QString &name);

signals:
    void bytesReady(const QByteArray &bytes, const QUrl &url, const QString &name);
    void fetchRequested(const QUrl &url, const QString &name);
};
