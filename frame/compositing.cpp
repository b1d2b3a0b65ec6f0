// SPDX-License-Identifier: MIT
#include "frame/compositing.h"

#include "frame/x11connection.h"

#include <QCoreApplication>
#include <QPointer>

#include <xcb/xcb.h>

#include <cstdlib>

Compositing &Compositing::instance()
{
    static QPointer<Compositing> instance;
    if (!instance)
        instance = new Compositing(QCoreApplication::instance());
    return *instance;
}

Compositing::Compositing(QObject *parent)
    : QObject(parent)
    , m_active(X11::compositingManagerRunning())
{
    xcb_connection_t *connection = X11::connection();
    if (!connection)
        return;
    // Qt watches the owner of the compositing manager's selection through XFixes, but tells no
    // one: its selection events are seen here on their way.
    static const char name[] = "XFIXES";
    xcb_query_extension_reply_t *reply = xcb_query_extension_reply(
        connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr);
    if (reply && reply->present) {
        m_selectionNotify = reply->first_event; // XFixes' SelectionNotify is its event 0
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    std::free(reply);
}

bool Compositing::nativeEventFilter(const QByteArray &eventType, void *message,
                                    X11::NativeEventResult *)
{
    if (eventType == "xcb_generic_event_t"
        && (static_cast<xcb_generic_event_t *>(message)->response_type & 0x7f) == m_selectionNotify)
        // Qt reads the new owner once this filter has passed the event on.
        QMetaObject::invokeMethod(this, &Compositing::update, Qt::QueuedConnection);
    return false;
}

void Compositing::update()
{
    const bool active = X11::compositingManagerRunning();
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged(active);
}
