// SPDX-License-Identifier: MIT
#include "main/failurepanel.h"
#include "ui_failurepanel.h"

#include <QIcon>
#include <QTimerEvent>

FailurePanel::FailurePanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FailurePanel)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->lbIcon->setPixmap(QIcon(QStringLiteral(":/Orvane")).pixmap(64, 64));
    connect(ui->btnRetry, &QPushButton::clicked, this, [this] {
        m_seconds = 0;
        if (m_timer > 0)
            killTimer(m_timer);
        m_timer = 0;
        ui->lbCountdown->setText(QStringLiteral("正在重新连接……"));
        emit retryRequested();
    });
}

FailurePanel::~FailurePanel()
{
    delete ui;
}

void FailurePanel::showFailure(const Browsing::Message &message, int seconds)
{
    ui->lbTitle->setText(message.title);
    ui->lbDetail->setText(message.detail);
    m_seconds = seconds;
    if (m_timer > 0)
        killTimer(m_timer);
    m_timer = seconds >= 0 ? startTimer(1000) : 0;
    showCountdown();
    show();
}

void FailurePanel::stopCountdown()
{
    if (m_timer > 0)
        killTimer(m_timer);
    m_timer = 0;
    m_seconds = -1;
    showCountdown();
}

void FailurePanel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer)
        return QWidget::timerEvent(event);
    if (--m_seconds > 0)
        return showCountdown();
    killTimer(m_timer);
    m_timer = 0;
    ui->lbCountdown->setText(QStringLiteral("正在重新连接……"));
    emit retryRequested();
}

void FailurePanel::showCountdown()
{
    ui->lbCountdown->setText(m_seconds >= 0 ? QStringLiteral("%1 秒后自动重试").arg(m_seconds)
                                            : QString());
}
