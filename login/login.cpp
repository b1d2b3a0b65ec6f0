// SPDX-License-Identifier: MIT
#include "login/login.h"
#include "ui_login.h"

#include "login/loginpage.h"
#include "login/rcodepage.h"

#include <QIcon>

namespace {

QString titleButtonLook(const QString &name, const QString &image, const QString &hoverPressPrefix)
{
    return QStringLiteral(
               "QPushButton#%1{border:none;min-width:20px;max-width:20px;min-height:20px;"
               "max-height:20px;border-image:url(%2);}"
               "QPushButton#%1:hover{border-image:url(:/%3_hover);}"
               "QPushButton#%1:pressed{border-image:url(:/%3_press);}")
        .arg(name, image, hoverPressPrefix);
}

} // namespace

Login::Login(QWidget *parent)
    : CLWDialog(parent)
    , ui(new Ui::Login)
{
    // Before the children exist: changing the flags re-parents the window, which would
    // polish every child against the style sheet once more.
    setAttribute(Qt::WA_TranslucentBackground, true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->setupUi(this);
    setTitleHeight(240);
    setResizable(false);
    setWindowTitle(QStringLiteral("Orvane-登录"));
    setBackgroundImage(QStringLiteral(":/bk1"), 20, 20, 20, 20);
    setShadowMargins(QMargins(5, 3, 5, 7));
    setWindowIcon(QIcon(QStringLiteral(":/Orvane")));
    // The title buttons are for the mouse: Tab walks the form only.
    ui->btnMin->setFocusPolicy(Qt::NoFocus);
    ui->btnClose->setFocusPolicy(Qt::NoFocus);

    m_loginPage = new LoginPage(ui->loginStack);
    m_rcodePage = new RcodePage(ui->loginStack);
    connect(m_loginPage, &LoginPage::showPage, this, &Login::on_showPage);
    connect(m_loginPage, &LoginPage::loginSuc, this, &Login::on_loginSuc);
    connect(m_rcodePage, &RcodePage::showPage, this, &Login::on_showPage);
    connect(m_rcodePage, &RcodePage::loginSuc, this, &Login::on_loginSuc);
    connect(m_rcodePage, &RcodePage::updateRcode, m_loginPage, &LoginPage::onUpdateRcode);
    connect(m_rcodePage, &RcodePage::failed, m_loginPage, &LoginPage::showTip);

    ui->lbVer->setText(QStringLiteral("Orvane智慧校园公共云平台"));
    ui->loginStack->addWidget(m_loginPage);
    ui->loginStack->addWidget(m_rcodePage);
    ui->loginStack->setCurrentWidget(m_loginPage);
}

Login::~Login()
{
    delete m_loginPage;
    m_loginPage = nullptr;
    delete m_rcodePage;
    m_rcodePage = nullptr;
    delete ui;
}

void Login::showMessage(const QString &text)
{
    on_showPage(0);
    m_loginPage->showTip(text);
}

void Login::setAutomaticLogin(bool allowed)
{
    m_loginPage->setAutomaticLogin(allowed);
}

void Login::on_btnMin_clicked()
{
    showMinimized();
}

void Login::on_btnClose_clicked()
{
    reject();
}

void Login::on_showPage(int type)
{
    switch (type) {
    case 0:
        setBackgroundImage(QStringLiteral(":/bk1"), 20, 20, 20, 20);
        setTitleButtonLooks(QStringLiteral(":/min"), QStringLiteral(":/close"));
        ui->emptyWid->show();
        ui->loginStack->setCurrentWidget(m_loginPage);
        break;
    case 1:
        setBackgroundImage(QStringLiteral(":/bk2"), 20, 20, 20, 20);
        setTitleButtonLooks(QStringLiteral(":/min1"), QStringLiteral(":/close1"));
        ui->emptyWid->hide();
        ui->loginStack->setCurrentWidget(m_rcodePage);
        break;
    default:
        break;
    }
}

void Login::on_loginSuc()
{
    m_rcodePage->stopPolling();
    accept();
}

void Login::showEvent(QShowEvent *)
{
    // Deliberately empty: a top-level login window takes the window system's placement,
    // not QDialog's centring over a parent.
}

void Login::setTitleButtonLooks(const QString &minImage, const QString &closeImage)
{
    ui->btnMin->setStyleSheet(
        titleButtonLook(QStringLiteral("btnMin"), minImage, QStringLiteral("min")));
    ui->btnClose->setStyleSheet(
        titleButtonLook(QStringLiteral("btnClose"), closeImage, QStringLiteral("close")));
}
