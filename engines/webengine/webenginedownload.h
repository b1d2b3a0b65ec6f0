// SPDX-License-Identifier: MIT
#pragma once

#include "main/webdownload.h"

#include <QPointer>

class QWebEngineDownloadItem;

// A download on QtWebEngine, which writes the file itself once the item is accepted.
class WebEngineDownload final : public WebDownload
{
    Q_OBJECT

public:
    WebEngineDownload(QWebEngineDownloadItem *item, QObject *parent = nullptr);

    QString suggestedFileName() const override;
    QUrl url() const override;
    void start(const QString &file) override;
    void cancel() override;

    // Whether start() accepted the item: one that is not is cancelled by QtWebEngine.
    bool started() const { return !m_target.isEmpty(); }
    // The connection broke and QtWebEngine asks about the item again to resume it: the
    // download ends as failed instead, and the user may start it anew.
    void broken();

private:
    void stateChanged();
    void end(const QString &error);

    QPointer<QWebEngineDownloadItem> m_item;
    QString m_target;
    const QString m_name;
    bool m_done = false;
};
