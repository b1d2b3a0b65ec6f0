// SPDX-License-Identifier: MIT
#pragma once

#include "frame/clwdialog.h"

class LoginPage;
class RcodePage;

namespace Ui {
class Login;
}

// The login window: a title bar and a stack of the password page and the QR-code page.
// Accepted when either page reports a login, rejected by its close button.
class Login : public CLWDialog
{
    Q_OBJECT

public:
    explicit Login(QWidget *parent = nullptr);
    ~Login() override;

    // Opens on the password page with this text under the form.
    void showMessage(const QString &text);
    // Whether a saved account marked for it logs in by itself when the window opens.
    void setAutomaticLogin(bool allowed);

private slots:
    void on_btnMin_clicked();
    void on_btnClose_clicked();
    void on_showPage(int type);
    void on_loginSuc();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setTitleButtonLooks(const QString &minImage, const QString &closeImage);

    Ui::Login *ui;
    LoginPage *m_loginPage = nullptr;
    RcodePage *m_rcodePage = nullptr;
};
