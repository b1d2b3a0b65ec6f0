// SPDX-License-Identifier: MIT
#include "main/webview.h"

#include <QChildEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMouseEvent>
#include <QWheelEvent>

#include <utility>

WebView::WebView(QWidget *parent)
    : QWidget(parent)
{
}

void WebView::setNavigationHook(NavigationHook hook)
{
    m_hook = std::move(hook);
}

QStringList WebView::chooseUploads(QWidget *parent, bool multiple)
{
    static QString folder = QDir::homePath();
    const QStringList files = multiple
        ? QFileDialog::getOpenFileNames(parent, QString(), folder)
        : QStringList(QFileDialog::getOpenFileName(parent, QString(), folder));
    if (!files.value(0).isEmpty())
        folder = QFileInfo(files.first()).absolutePath();
    return files.value(0).isEmpty() ? QStringList() : files;
}

bool WebView::sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(-1) == b.port(-1);
}

bool WebView::acceptNavigation(Navigation navigation) const
{
    navigation.userActed = m_sinceUserInput.isValid() && m_sinceUserInput.elapsed() <= 1000;
    return !m_hook || m_hook(navigation);
}

void WebView::watchInput(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool WebView::isNewInput(QEvent *event)
{
    // QtWebEngine hands what its input widget got on to the view as well: one event, seen twice.
    const ulong timestamp = static_cast<QInputEvent *>(event)->timestamp();
    return std::exchange(m_lastInput, timestamp) != timestamp;
}

bool WebView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
        m_sinceUserInput.start();
        break;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::ChildPolished:
        // QtWebEngine makes the widget that takes the input only with its first page.
        if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
            watchInput(child);
        break;
    case QEvent::MouseButtonPress: {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton) {
            if (isNewInput(event))
                button == Qt::BackButton ? back() : forward();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        // Chromium (QtWebEngine 6) goes back or forward itself on the release: a second step.
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton)
            return true;
        break;
    }
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // A touchpad sends a notch in many small parts: they add up to a step.
            const int delta = wheel->angleDelta().y();
            if (delta != 0 && isNewInput(event)) {
                if ((delta > 0) != (m_wheelDelta > 0))
                    m_wheelDelta = 0;
                m_wheelDelta += delta;
                const int steps = m_wheelDelta / 120;
                m_wheelDelta -= steps * 120;
                if (steps != 0)
                    emit zoomRequested(steps);
            }
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
