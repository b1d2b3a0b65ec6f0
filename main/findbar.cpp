// SPDX-License-Identifier: MIT
#include "main/findbar.h"
#include "ui_findbar.h"

#include <QKeyEvent>

FindBar::FindBar(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FindBar)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->lbNoMatch->hide();
    ui->edFind->installEventFilter(this);
    connect(ui->edFind, &QLineEdit::textEdited, this,
            [this](const QString &text) { emit find(text, false); });
    connect(ui->btnNext, &QPushButton::clicked, this,
            [this] { emit find(ui->edFind->text(), false); });
    connect(ui->btnPrevious, &QPushButton::clicked, this,
            [this] { emit find(ui->edFind->text(), true); });
    connect(ui->btnClose, &QPushButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    hide();
}

FindBar::~FindBar()
{
    delete ui;
}

void FindBar::open()
{
    show();
    ui->edFind->setFocus();
    ui->edFind->selectAll();
}

void FindBar::setFound(bool found)
{
    ui->lbNoMatch->setVisible(!found && !ui->edFind->text().isEmpty());
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->edFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit find(ui->edFind->text(), key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            ui->btnClose->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
