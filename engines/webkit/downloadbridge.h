// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class QWebFrame;

// QtWebKit neither saves nor reports the downloads a page starts with <a download>, Blob and
// data: ones among them: a script of ours in the frame hands them to a bridge like this one.
// Each page of a platform frame gets a bridge of its own; a frame of anyone else gets none.
class DownloadBridge final : public QObject
{
    Q_OBJECT

public:
    using Trusted = std::function<bool(const QUrl &)>;
    using Made = std::function<void(DownloadBridge *bridge)>;

    // From now on, each page the frame shows from a trusted address gets a bridge and its
    // script; made is told of each bridge, to connect to it.
    static void watch(QWebFrame *frame, const Trusted &trusted, const Made &made);

public slots:
    // Bytes a page made, read by the script (base64).
    void save(const QString &href, const QString &name, const QString &base64);
    // An address to fetch with the page's own network access (http, data:).
    void fetch(const QString &href, const QString &name);

signals:
    void bytesReady(const QByteArray &bytes, const QUrl &url, const QString &name);
    void fetchRequested(const QUrl &url, const QString &name);

private:
    using QObject::QObject;
};
