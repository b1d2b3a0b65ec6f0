// SPDX-License-Identifier: MIT
#pragma once

#include "frame/pointerevents.h"

#include <QWidget>

namespace Ui {
class LoginDialogComboxListItem;
}

// One saved account in the login page's drop-down: the name, and a delete button.
// Clicking the row reports the name with ShowUser, the button with DeleteUser.
class LoginDialogComboxListItem : public QWidget
{
    Q_OBJECT

public:
    explicit LoginDialogComboxListItem(QWidget *parent = nullptr);
    ~LoginDialogComboxListItem() override;

    void setText(const QString &text);
    QString text() const;

signals:
    void DeleteUser(const QString &user);
    void ShowUser(const QString &user);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(EnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private slots:
    void onClickDelete();

private:
    Ui::LoginDialogComboxListItem *ui;
    bool m_hovered = false;
    bool m_pressed = false;
};
