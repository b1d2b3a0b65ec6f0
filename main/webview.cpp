// SPDX-License-Identifier: MIT
#include "main/webview.h"

#include <QApplication>
#include <QChildEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
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

bool WebView::askForPage(QWidget *parent, PageDialog kind, const QString &pageTitle,
                         const QUrl &pageUrl, const QString &message, QString *text)
{
    // An engine may give the address of a page without a title as its title.
    QString title = pageTitle.trimmed();
    if (title.isEmpty() || title.contains(QLatin1String("://"))
        || (!pageUrl.host().isEmpty() && title.contains(pageUrl.host(), Qt::CaseInsensitive)))
        title = QStringLiteral("智慧校园公共云平台");
    if (kind == PageDialog::Prompt) {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(title);
        dialog.setLabelText(message);
        dialog.setTextValue(text ? *text : QString());
        dialog.setOkButtonText(QStringLiteral("确定"));
        dialog.setCancelButtonText(QStringLiteral("取消"));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (text)
            *text = dialog.textValue();
        return true;
    }
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIcon(kind == PageDialog::Alert ? QMessageBox::Information : QMessageBox::Question);
    // A page's message is its text, never markup of ours.
    box.setTextFormat(Qt::PlainText);
    const bool leaving = kind == PageDialog::LeavePage;
    box.setText(leaving ? QStringLiteral("要离开此网页吗？") : message);
    if (leaving)
        box.setInformativeText(QStringLiteral("您所做的更改可能不会被保存。"));
    QPushButton *accept = box.addButton(leaving ? QStringLiteral("离开") : QStringLiteral("确定"),
                                        QMessageBox::AcceptRole);
    if (kind != PageDialog::Alert)
        box.setEscapeButton(box.addButton(leaving ? QStringLiteral("留下") : QStringLiteral("取消"),
                                          QMessageBox::RejectRole));
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

bool WebView::sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(-1) == b.port(-1);
}

WebView::Permission WebView::permission(Feature feature, bool platform)
{
    if (!platform)
        return Permission::Refuse;
    switch (feature) {
    case Feature::Notifications:
        return Permission::Grant;
    case Feature::Camera:
    case Feature::Microphone:
    case Feature::CameraAndMicrophone:
        return Permission::Ask;
    default:
        return Permission::Refuse;
    }
}

void WebView::decidePermission(const QUrl &origin, Feature feature, bool platform,
                               const Answer &answer)
{
    const Permission decided = permission(feature, platform);
    if (decided == Permission::Ask)
        emit permissionRequested(origin, feature, answer);
    else
        answer(decided == Permission::Grant);
}

bool WebView::acceptNavigation(Navigation navigation) const
{
    navigation.userActed = userActed();
    return !m_hook || m_hook(navigation);
}

bool WebView::userActed() const
{
    return m_sinceUserInput.isValid() && m_sinceUserInput.elapsed() <= 1000;
}

void WebView::pressDelete()
{
    QWidget *target = this;
    while (target->focusProxy())
        target = target->focusProxy();
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent key(type, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(target, &key);
    }
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
