// SPDX-License-Identifier: MIT
#pragma once

#include "frame/x11connection.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

// Whether a compositing manager blends the windows with what lies below them, and when that
// changes. Without one, X11 shows the transparent pixels of a translucent window black. Other
// platforms always composite.
class Compositing : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    static Compositing &instance();

    bool isActive() const { return m_active; }

signals:
    void activeChanged(bool active);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message,
                           X11::NativeEventResult *result) override;

private:
    explicit Compositing(QObject *parent);
    void update();

    bool m_active = true;
    int m_selectionNotify = -1; // the X event that tells of a new selection owner
};
