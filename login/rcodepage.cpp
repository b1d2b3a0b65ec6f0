// SPDX-License-Identifier: MIT
#include "login/rcodepage.h"
#include "ui_rcodepage.h"

#include "common/appconfig.h"
#include "common/globals.h"
#include "net/chttp.h"
#include "net/replyenvelope.h"
#include "net/serviceurl.h"

#include <QDebug>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimerEvent>

RcodePage::RcodePage(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::RcodePage)
{
    ui->setupUi(this);
    m_http = new CHttp(this);
    connect(m_http, &QNetworkAccessManager::finished, this, &RcodePage::replyFinished);
    m_http->get(serviceUrl(g_baseUrl, QStringLiteral("orvane/qrcode/getImageCode")));
    m_timerId = startTimer(PollIntervalMs);
}

RcodePage::~RcodePage()
{
    stopPolling();
    delete ui;
}

void RcodePage::stopPolling()
{
    if (m_timerId > 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void RcodePage::on_btnRet_clicked()
{
    emit showPage(0);
}

void RcodePage::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_timerId && !m_imagePending) {
        m_http->post(serviceUrl(g_baseUrl, QStringLiteral("orvane/qrcode/getQRcodeState")),
                     QString());
        qDebug() << "orvane/qrcode/getQRcodeState;";
    }
    QWidget::timerEvent(event);
}

void RcodePage::replyFinished(QNetworkReply *reply)
{
    if (m_statePending) {
        const QrPoll poll = readQrStateReply(reply->readAll(), g_userName, g_passWord);
        if (poll.stop) {
            m_statePending = false;
            stopPolling();
        }
        if (poll.confirmed) {
            g_qrLogin = true;
            emit loginSuc();
        }
    }
    if (m_imagePending && storeImage(reply->readAll())) {
        emit updateRcode();
        m_imagePending = false;
        m_statePending = true;
    }
    reply->deleteLater();
}

bool RcodePage::storeImage(const QByteArray &bytes)
{
    // Written aside and renamed into place, so the preview never reads half an image.
    QSaveFile file(AppConfig::applicationFile(QStringLiteral("RCode.jpg")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    if (!file.commit())
        return false;
    qDebug() << file.fileName();
    return true;
}
