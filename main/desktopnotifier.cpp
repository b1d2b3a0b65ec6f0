// SPDX-License-Identifier: MIT
#include "main/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QVariantMap>

#include <utility>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent)
{
}

void DesktopNotifier::notify(const QString &title, const QString &body)
{
    // The bus only once there is something to show.
    if (!std::exchange(m_listening, true))
        QDBusConnection::sessionBus().connect(Service, Path, Service,
                                              QStringLiteral("ActionInvoked"), this,
                                              SLOT(actionInvoked(uint, QString)));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, "Notify");
    // "default" is the click on the notification itself.
    call << QStringLiteral("Orvane") << 0u << QStringLiteral("io.github.orvane.Orvane") << title
         << body << QStringList{QStringLiteral("default"), QStringLiteral("打开")}
         << QVariantMap{{QStringLiteral("desktop-entry"),
                         QStringLiteral("io.github.orvane.Orvane")}}
         << -1;
    // A bus that is missing fails at once; a service that hangs, after a few seconds.
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            qDebug() << "no notification service:" << reply.error().message();
            emit unavailable(title, body);
            return;
        }
        m_shown.insert(reply.value());
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && m_shown.contains(id))
        emit clicked();
}
