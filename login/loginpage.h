// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QWidget>

class CHttp;
class QLineEdit;
class QListWidget;
class QNetworkReply;

namespace Ui {
class LoginPage;
}

// The password page of the login window: a user-name edit over a drop-down of the
// accounts saved on this computer, the password, the login request, and the small
// preview of the QR code that the QR-code page keeps in "RCode.jpg".
class LoginPage : public QWidget
{
    Q_OBJECT

public:
    explicit LoginPage(QWidget *parent = nullptr);
    ~LoginPage() override;

    // Whether a saved account marked for it logs in by itself when the page is shown.
    void setAutomaticLogin(bool allowed) { m_automaticLogin = allowed; }

signals:
    void showPage(int type);
    void loginSuc();

public slots:
    void onUpdateRcode(const QImage &code = QImage());
    // Shows text under the form: what went wrong, on this page or on the QR-code page.
    void showTip(const QString &text);

private slots:
    void on_btnCode_clicked();
    void on_btnLogin_clicked();
    void deleteUser(const QString &user);
    void showUser(const QString &user);
    void replyFinished(QNetworkReply *reply);
    void on_btnForgetPwd_clicked();
    void on_btnRegister_clicked();
    void textEdit(const QString &strText);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillFromStore(const QString &name);
    void reloadUserList();
    void removeAccount(const QString &user);

    Ui::LoginPage *ui;
    QListWidget *m_userList = nullptr;
    QLineEdit *m_userEdit = nullptr;
    CHttp *m_http = nullptr;
    QString m_userName;
    QString m_password;
    int m_remember = 0;
    int m_autoLogin = 0;
    bool m_automaticLogin = true;

    // The account as it stood when the login was sent; the form may change meanwhile.
    struct SentLogin
    {
        QString userName;
        QString password;
        int remember = 0;
        int autoLogin = 0;
    };
    SentLogin m_sent;
};
