// SPDX-License-Identifier: MIT
#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop browser while it lives: records the web addresses handed to it.
class BrowserCatcher : public QObject
{
    Q_OBJECT

public:
    BrowserCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    ~BrowserCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};
