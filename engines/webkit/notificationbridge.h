// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWebFrame;

// QtWebKit shows a granted notification in a tray icon of its own that nobody can click: a
// platform page's window.Notification is replaced by a script of ours that hands it here.
class NotificationBridge final : public QObject
{
    Q_OBJECT

public:
    // Gives a trusted frame's page the script, and this bridge beside it.
    static NotificationBridge *install(QWebFrame *frame);

public slots:
    void show(const QString &title, const QString &body);

signals:
    void notificationRequested(const QString &title, const QString &body);

private:
    using QObject::QObject;
};
