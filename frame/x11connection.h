// SPDX-License-Identifier: MIT
#pragma once

// Where Qt 5 and Qt 6 differ in reaching X11: Qt 5 through QtX11Extras, Qt 6 through QtGui's
// native interface. Nothing else of Orvane names either.
#include <QByteArray>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QGuiApplication>
#else
#include <QX11Info>
#endif

#include <xcb/xcb.h>

#include <cstdlib>

namespace X11 {

// The third argument of QAbstractNativeEventFilter::nativeEventFilter.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using NativeEventResult = qintptr;
#else
using NativeEventResult = long;
#endif

// The application's connection to the X server; null on any other platform (offscreen too).
inline xcb_connection_t *connection()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
#else
    return QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr;
#endif
}

// Whether a compositing manager owns the selection _NET_WM_CM_Sn of the display's screen n, where
// EWMH window managers announce one; true on platforms other than X11, which composite.
inline bool compositingManagerRunning()
{
    xcb_connection_t *x11 = connection();
    if (!x11)
        return true;
    char *host = nullptr;
    int display = 0;
    int screen = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen))
        std::free(host);
    const QByteArray name = QByteArray("_NET_WM_CM_S").append(QByteArray::number(screen));
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        x11, xcb_intern_atom(x11, 0, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr);
    xcb_get_selection_owner_reply_t *owner = atom
        ? xcb_get_selection_owner_reply(x11, xcb_get_selection_owner(x11, atom->atom), nullptr)
        : nullptr;
    const bool running = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return running;
}

} // namespace X11
