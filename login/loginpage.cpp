// SPDX-License-Identifier: MIT
#include "login/loginpage.h"
#include "ui_loginpage.h"

#include "common/globals.h"
#include "common/logsafe.h"
#include "login/logindialogcomboxlistitem.h"
#include "login/rcodepage.h"
#include "net/chttp.h"
#include "net/loginrequest.h"
#include "net/serviceurl.h"
#include "platform/platform.h"
#include "store/userstore.h"

#include <QAccessibleWidget>
#include <QDebug>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPixmap>
#include <QUrl>

namespace {

const QString UserListStyle = QStringLiteral("color:#E7E7E7;font: 14px \"微软雅黑\";height:30px;");

// Qt's combo box shows screen readers its list only; the name is typed in an edit laid over it,
// which they would never find. This one shows them the combo box's own widgets.
QAccessibleInterface *savedAccountsAccessible(const QString &key, QObject *object)
{
    if (key != QLatin1String("QComboBox") || object->objectName() != QLatin1String("cbUserName"))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::ComboBox);
}

void openInBrowser(const QString &path)
{
    // The desktop browser is the user's: it does not keep its files private as Orvane does.
    const Platform::SharedFileMask forTheUser;
    QDesktopServices::openUrl(QUrl(serviceUrl(g_baseUrl, path), QUrl::TolerantMode));
}

} // namespace

LoginPage::LoginPage(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::LoginPage)
{
    static const bool accessible = (QAccessible::installFactory(savedAccountsAccessible), true);
    Q_UNUSED(accessible)
    ui->setupUi(this);
    ui->editPassword->setEchoMode(QLineEdit::Password);

    m_userList = new QListWidget;
    m_userEdit = new QLineEdit(ui->cbUserName);
    ui->cbUserName->setModel(m_userList->model());
    ui->cbUserName->setView(m_userList);

    ui->autoLogin->hide();
    ui->lbTip->hide();
    ui->widTip->hide();

    m_http = new CHttp(this);
    connect(m_userEdit, &QLineEdit::textEdited, this, &LoginPage::textEdit);

    // The name is typed in the edit over the drop-down, which itself takes no focus.
    m_userEdit->setObjectName(QStringLiteral("editUserName"));
    ui->cbUserName->setFocusPolicy(Qt::NoFocus);
    setTabOrder(m_userEdit, ui->editPassword);
    setTabOrder(ui->editPassword, ui->chkRemember);
    setTabOrder(ui->chkRemember, ui->btnLogin);
    // Enter in any field logs in.
    ui->btnLogin->setDefault(true);

    m_userEdit->setStyleSheet(QStringLiteral(
        "QLineEdit{min-width:252px;min-height:40px;max-width:252px;max-height:40px;border:none;"
        "background-color: transparent;font: 20px \"微软雅黑\";color: rgb(125, 145, 145);}"
        "QLineEdit:focus{border-bottom:2px solid #2f84ea;}"));
    m_userEdit->setPlaceholderText(QStringLiteral("请输入11位手机号"));
    m_userEdit->setAccessibleName(QStringLiteral("用户名"));
    m_userEdit->setAccessibleDescription(
        QStringLiteral("请输入11位手机号，或用上下键选择已保存的账号"));

    // The saved accounts by keyboard: Up and Down in the name or in the open list, Enter to
    // choose, Escape to close, Delete to remove.
    connect(ui->cbUserName, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { showUser(ui->cbUserName->itemData(index).toString()); });
    m_userList->installEventFilter(this);

    onUpdateRcode();
}

LoginPage::~LoginPage()
{
    delete m_http;
    delete ui;
}

void LoginPage::showEvent(QShowEvent *event)
{
    reloadUserList();
    // Typing can start at once: the name, or the password of the name filled in.
    if (m_userEdit->text().isEmpty())
        m_userEdit->setFocus();
    else
        ui->editPassword->setFocus();
    // Rather than pretend to remember, say that nothing can be kept, and why.
    const QString problem = UserStore::instance().saveProblem();
    if (!problem.isEmpty())
        showTip(QStringLiteral("账号无法保存在这台电脑上：") + problem);
    QWidget::showEvent(event);
}

void LoginPage::reloadUserList()
{
    m_userList->clear();
    m_userList->setStyleSheet(UserListStyle);

    QStringList names;
    UserStore::instance().listUserNames(names);
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (i == 0) {
            m_userEdit->setText(name);
            m_userName = name;
            fillFromStore(name);
        }
        auto *row = new LoginDialogComboxListItem;
        row->setText(name);
        row->setMaximumSize(ui->cbUserName->width(), ui->cbUserName->height());
        connect(row, &LoginDialogComboxListItem::DeleteUser, this, &LoginPage::deleteUser);
        connect(row, &LoginDialogComboxListItem::ShowUser, this, &LoginPage::showUser);
        auto *item = new QListWidgetItem(m_userList);
        item->setData(Qt::UserRole, name);
        m_userList->setItemWidget(item, row);
    }
}

void LoginPage::fillFromStore(const QString &name)
{
    if (name.isEmpty())
        return;
    UserStore::instance().loadUser(name, m_password, m_remember, m_autoLogin);
    ui->editPassword->setText(m_password);
    ui->chkRemember->setChecked(m_remember == 1);
    if (m_autoLogin == 1) {
        ui->autoLogin->setChecked(true);
        if (m_automaticLogin)
            on_btnLogin_clicked();
    }
}

void LoginPage::on_btnLogin_clicked()
{
    m_userName = m_userEdit->text();
    m_password = ui->editPassword->text();
    m_remember = ui->chkRemember->isChecked() ? 1 : 0;
    m_autoLogin = ui->autoLogin->isChecked() ? 1 : 0;

    if (m_userName.isEmpty()) {
        showTip(QStringLiteral("用户名不能为空"));
        m_userEdit->setFocus();
        return;
    }
    if (m_password.isEmpty()) {
        showTip(QStringLiteral("密码不能为空"));
        ui->editPassword->setFocus();
        return;
    }

    m_sent = {m_userName, m_password, m_remember, m_autoLogin};
    LogSafe::remember(m_password);
    ui->btnLogin->setText(QStringLiteral("登录中..."));
    ui->btnLogin->setEnabled(false);
    QNetworkReply *reply = sendLogin(*m_http, g_baseUrl, m_userName, m_password);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply); });
}

void LoginPage::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const LoginReply login = readLogin(reply);
    showTip(login.tip);
    ui->btnLogin->setText(QStringLiteral("登录"));
    ui->btnLogin->setEnabled(true);

    if (login.success) {
        g_token = login.token;
        LogSafe::remember(g_token);
        g_userName = m_sent.userName;
        g_passWord.clear(); // an earlier QR-code login's
        g_qrLogin = false;
        if (!UserStore::instance().saveUser(m_sent.userName,
                                            m_sent.remember == 1 ? m_sent.password : QString(),
                                            m_sent.remember != 0, m_sent.autoLogin != 0))
            qDebug() << "the account could not be saved:" << UserStore::instance().saveProblem();
        emit loginSuc();
        return;
    }
    // Ready to be typed again, over the refused one.
    ui->editPassword->setFocus();
    ui->editPassword->selectAll();
}

void LoginPage::showUser(const QString &user)
{
    // The open list then starts at the account shown.
    for (int i = 0; i < m_userList->count(); ++i) {
        if (m_userList->item(i)->data(Qt::UserRole).toString() == user)
            ui->cbUserName->setCurrentIndex(i);
    }
    m_userEdit->setText(user);
    m_userName = user;
    fillFromStore(user);
    ui->cbUserName->hidePopup();
}

void LoginPage::textEdit(const QString &strText)
{
    fillFromStore(strText);
}

void LoginPage::deleteUser(const QString &user)
{
    ui->cbUserName->hidePopup();
    // The account and its password go only when the user confirms, named, that it is this one.
    auto *box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("删除账号"),
                        QStringLiteral("从这台电脑上删除账号“%1”和它记住的密码吗？").arg(user),
                        QMessageBox::NoButton, this, Qt::Dialog | Qt::WindowStaysOnTopHint);
    QPushButton *remove = box->addButton(QStringLiteral("删除"), QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::buttonClicked, this, [this, user, remove](QAbstractButton *button) {
        if (button == remove)
            removeAccount(user);
    });
    box->open();
}

void LoginPage::removeAccount(const QString &user)
{
    if (user == m_userEdit->text()) {
        m_userEdit->clear();
        ui->editPassword->clear();
    }
    UserStore::instance().removeUser(user);
    reloadUserList();
    m_userEdit->setFocus();
}

bool LoginPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_userList && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        if (const QListWidgetItem *item = m_userList->currentItem())
            deleteUser(item->data(Qt::UserRole).toString());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LoginPage::on_btnForgetPwd_clicked()
{
    openInBrowser(QStringLiteral("orvane/resetPsd"));
}

void LoginPage::on_btnRegister_clicked()
{
    openInBrowser(QStringLiteral("orvane/login?type=register"));
}

void LoginPage::on_btnCode_clicked()
{
    emit showPage(1);
}

void LoginPage::onUpdateRcode(const QImage &code)
{
    // Without a new code, the one kept from the last time, if any.
    const QPixmap pixmap =
        code.isNull() ? QPixmap(RcodePage::imageFile()) : QPixmap::fromImage(code);
    ui->lbRCode->setPixmap(
        pixmap.isNull() ? QPixmap()
                        : pixmap.scaled(120, 120, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void LoginPage::showTip(const QString &text)
{
    ui->lbTip->setText(text);
    ui->lbTip->show();
}
