// SPDX-License-Identifier: MIT
#include "engines/webkit/notificationbridge.h"

#include <QWebFrame>

namespace {

// ES5, granted as the platform's pages are.
const char Script[] = R"js((function () {
    var bridge = orvaneNotifications;
    function Notification(title, options) {
        bridge.show(String(title), options && options.body ? String(options.body) : '');
    }
    Notification.permission = 'granted';
    Notification.requestPermission = function (callback) {
        if (callback)
            callback('granted');
        return window.Promise ? Promise.resolve('granted') : undefined;
    };
    Notification.prototype.close = function () {};
    window.Notification = Notification;
    delete window.orvaneNotifications;
})();)js";

} // namespace

NotificationBridge *NotificationBridge::install(QWebFrame *frame)
{
    // The last page's bridge goes with it.
    delete frame->findChild<NotificationBridge *>(QString(), Qt::FindDirectChildrenOnly);
    auto *bridge = new NotificationBridge(frame);
    frame->addToJavaScriptWindowObject(QStringLiteral("orvaneNotifications"), bridge);
    frame->evaluateJavaScript(QString::fromLatin1(Script));
    return bridge;
}

void NotificationBridge::show(const QString &title, const QString &body)
{
    emit notificationRequested(title, body);
}
