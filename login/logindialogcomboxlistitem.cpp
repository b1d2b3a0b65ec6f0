// SPDX-License-Identifier: MIT
#include "login/logindialogcomboxlistitem.h"
#include "ui_logindialogcomboxlistitem.h"

#include <QMouseEvent>

LoginDialogComboxListItem::LoginDialogComboxListItem(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::LoginDialogComboxListItem)
{
    ui->setupUi(this);
    connect(ui->btnDelete, &QPushButton::clicked, this, &LoginDialogComboxListItem::onClickDelete);
}

LoginDialogComboxListItem::~LoginDialogComboxListItem()
{
    delete ui;
}

void LoginDialogComboxListItem::setText(const QString &text)
{
    ui->labelText->setText(text);
    setAccessibleName(text);
    ui->btnDelete->setAccessibleName(QStringLiteral("删除账号 ") + text);
}

QString LoginDialogComboxListItem::text() const
{
    return ui->labelText->text();
}

void LoginDialogComboxListItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    // Not passed on: the list view below must not treat the press as its own.
}

void LoginDialogComboxListItem::mouseReleaseEvent(QMouseEvent *)
{
    if (m_pressed && m_hovered)
        emit ShowUser(ui->labelText->text());
    m_pressed = false;
}

void LoginDialogComboxListItem::enterEvent(EnterEvent *)
{
    m_hovered = true;
}

void LoginDialogComboxListItem::leaveEvent(QEvent *)
{
    m_hovered = false;
}

void LoginDialogComboxListItem::onClickDelete()
{
    emit DeleteUser(ui->labelText->text());
}
