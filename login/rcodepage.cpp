// SPDX-License-Identifier: MIT
#include "login/rcodepage.h"
#include "ui_rcodepage.h"

#include "common/apppaths.h"
#include "common/globals.h"
#include "common/logsafe.h"
#include "net/chttp.h"
#include "net/replyenvelope.h"
#include "net/serviceurl.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimerEvent>

RcodePage::RcodePage(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::RcodePage)
{
    ui->setupUi(this);
    removeStaleTemporaries();
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
    reply->deleteLater();
    // Asking again every two seconds would not make the certificate any better.
    const QString host = CHttp::unverifiedHost(reply);
    if (!host.isEmpty()) {
        stopPolling();
        m_imagePending = m_statePending = false;
        emit failed(certificateTip(host));
        return;
    }
    if (m_statePending) {
        const QrPoll poll = readQrStateReply(reply->readAll(), g_userName, g_passWord);
        if (poll.stop) {
            m_statePending = false;
            stopPolling();
        }
        LogSafe::remember(g_passWord);
        if (poll.confirmed) {
            // The session is the QR code's now: a password session's token would be asked
            // about by the keep-alive, and found ended.
            g_token.clear();
            g_qrLogin = true;
            emit loginSuc();
        }
    }
    if (m_imagePending) {
        // Only a picture is kept: an error page saved as RCode.jpg would show nothing. The
        // code is shown from memory, so a file that cannot be written stops nothing.
        const QByteArray bytes = reply->readAll();
        QImage code;
        if (code.loadFromData(bytes)) {
            storeImage(bytes);
            emit updateRcode(code);
        } else {
            qDebug() << "the QR code reply holds no picture:" << bytes.left(80);
        }
        m_imagePending = false;
        m_statePending = true;
    }
}

bool RcodePage::storeImage(const QByteArray &bytes)
{
    // Replaced, never written through: a link is removed, not followed to its target.
    const QString path = imageFile();
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return false;
    // Written aside and renamed into place, so the preview never reads half an image. A full
    // disk shows only at the flush: the old picture then stays, and no temporary file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        qDebug() << path << "could not be written:" << file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit())
        return false;
    qDebug() << path;
    return true;
}

QString RcodePage::imageFile()
{
    return AppPaths::cacheDirectory() + QStringLiteral("/RCode.jpg");
}

void RcodePage::removeStaleTemporaries()
{
    // What a save cut short by a kill leaves: "RCode.jpg." and six characters.
    const QFileInfo image(imageFile());
    const QStringList stale = image.dir().entryList({image.fileName() + QStringLiteral(".??????")},
                                                    QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : stale)
        QFile::remove(image.dir().filePath(name));
}
