// SPDX-License-Identifier: MIT
#pragma once

#include "engines/webengine/downloadrequest.h"
#include "main/webdownload.h"

#include <QPointer>

// A download on QtWebEngine, which writes the file itself once the item is accepted.
class WebEngineDownload final : public WebDownload
{
    Q_OBJECT

public:
    WebEngineDownload(QWebEngineDownloadRequest *item, QObject *parent = nullptr);
    ~WebEngineDownload() override;

    QString suggestedFileName() const override { return m_name; }
    QUrl url() const override;
    void start(const QString &file) override;
    void cancel() override;

    // Whether start() accepted the item: one that is not is cancelled by QtWebEngine.
    bool started() const { return m_started; }
    // The connection broke and QtWebEngine asks about the item again to resume it: the
    // download ends as failed instead, and the user may start it anew.
    void broken();

private:
    void stateChanged();
    void stop(const QString &error);

    QPointer<QWebEngineDownloadRequest> m_item;
    const QString m_name;
    bool m_started = false;
};
