// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class CHttp;
class QImage;
class QNetworkReply;

namespace Ui {
class RcodePage;
}

// The QR-code login. From construction on, whichever page is shown, it fetches the
// QR image into "RCode.jpg" and then polls the login state until a phone confirms.
class RcodePage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 2000;

    explicit RcodePage(QWidget *parent = nullptr);
    ~RcodePage() override;

    void stopPolling();

    // Where the last QR code is kept for the password page's preview.
    static QString imageFile();

signals:
    void showPage(int type);
    void loginSuc();
    // A new QR code has arrived (and is kept in "RCode.jpg" where that can be written).
    void updateRcode(const QImage &code);
    // The QR-code login has stopped on a problem the user must hear of; this page has no
    // place for text, the password page shows tip.
    void failed(const QString &tip);

private slots:
    void on_btnRet_clicked();
    void replyFinished(QNetworkReply *reply);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    bool storeImage(const QByteArray &bytes);
    void removeStaleTemporaries();

    Ui::RcodePage *ui;
    CHttp *m_http = nullptr;
    bool m_imagePending = true;
    bool m_statePending = false;
    int m_timerId = 0;
};
