// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QSet>

class QDBusMessage;

// Shows a page's notification through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), or says that none answered.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    void notify(const QString &title, const QString &body);

signals:
    // No service took it: the caller shows it another way.
    void unavailable(const QString &title, const QString &body);
    // The user clicked one of ours.
    void clicked();

private slots:
    void actionInvoked(uint id, const QString &action);

private:
    QSet<uint> m_shown; // ours: the service tells every program's clicks
    bool m_listening = false;
};
