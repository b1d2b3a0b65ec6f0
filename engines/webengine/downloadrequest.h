// SPDX-License-Identifier: MIT
#pragma once

// A download as QtWebEngine hands it over: Qt 6's QWebEngineDownloadRequest, which Qt 5 calls
// QWebEngineDownloadItem with the same members but for its progress signal.
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QWebEngineDownloadRequest>
#else
#include <QWebEngineDownloadItem>
using QWebEngineDownloadRequest = QWebEngineDownloadItem;
#endif

#include <QObject>

namespace DownloadRequest {

// Calls progress(received, total) in context whenever either count of item changes.
template <typename Progress>
void onProgress(QWebEngineDownloadRequest *item, QObject *context, Progress progress)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const auto report = [item, progress] {
        progress(item->receivedBytes(), item->totalBytes());
    };
    QObject::connect(item, &QWebEngineDownloadRequest::receivedBytesChanged, context, report);
    QObject::connect(item, &QWebEngineDownloadRequest::totalBytesChanged, context, report);
#else
    QObject::connect(item, &QWebEngineDownloadItem::downloadProgress, context, progress);
#endif
}

} // namespace DownloadRequest
