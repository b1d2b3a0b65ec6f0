// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/logindialogcomboxlistitem.h"
#include "login/loginpage.h"
#include "store/userstore.h"
#include "tests/support/testhttpserver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

const QByteArray LoginPath = "orvane/client/login";

struct Account
{
    QString password;
    int remember = -1;
    int autoLogin = -1;
    bool found() const { return !password.isNull() || remember != -1; }
};

Account storedAccount(const QString &name)
{
    Account account;
    UserStore::instance().loadUser(name, account.password, account.remember, account.autoLogin);
    return account;
}

} // namespace

// Catches what the page hands to the desktop browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TstLoginPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sendsTheLogin();
    void successSavesAndSignals_data();
    void successSavesAndSignals();
    void refusedLoginShowsMessage();
    void unreachableServiceSaysSo();
    void emptyFields_data();
    void emptyFields();
    void newestAccountFilledOnShow();
    void pickingARowFillsTheForm();
    void typingAnUnknownNameEmptiesPassword();
    void deletingTheShownAccount();
    void autoLoginStartsByItself();
    void savesTheAccountAsSent();
    void linksOpenInBrowser();
    void previewShowsTheQrImage();

private:
    LoginPage *showPage();
    QLineEdit *userEdit() const;
    template<typename T> T *child(const char *name) const
    {
        return m_page->findChild<T *>(QLatin1String(name));
    }
    void login(const QString &name, const QString &password, bool remember);

    QTemporaryDir m_dir;
    TestHttpServer *m_server = nullptr;
    LoginPage *m_page = nullptr;
    UrlCatcher m_catcher;
};

void TstLoginPage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppConfig::setApplicationDirectory(m_dir.path());
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_catcher, "open");
}

void TstLoginPage::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    g_baseUrl = m_server->baseUrl();
    g_token.clear();
    QStringList names;
    UserStore::instance().listUserNames(names);
    for (const QString &name : qAsConst(names))
        QVERIFY(UserStore::instance().removeUser(name));
    m_catcher.urls.clear();
}

void TstLoginPage::cleanup()
{
    delete m_page;
    m_page = nullptr;
    delete m_server;
    m_server = nullptr;
}

LoginPage *TstLoginPage::showPage()
{
    m_page = new LoginPage;
    m_page->show();
    if (!QTest::qWaitForWindowExposed(m_page))
        qWarning("page not exposed");
    return m_page;
}

QLineEdit *TstLoginPage::userEdit() const
{
    return child<QComboBox>("cbUserName")->findChild<QLineEdit *>();
}

void TstLoginPage::login(const QString &name, const QString &password, bool remember)
{
    userEdit()->setText(name);
    child<QLineEdit>("editPassword")->setText(password);
    child<QCheckBox>("chkRemember")->setChecked(remember);
    QTest::mouseClick(child<QPushButton>("btnLogin"), Qt::LeftButton);
}

void TstLoginPage::sendsTheLogin()
{
    m_server->route(LoginPath, TestResponse::json(R"({"status":2,"msg":"x"})"));
    showPage();
    login(QStringLiteral("13800000001"), QStringLiteral("a&b#c"), true);
    QCOMPARE(child<QPushButton>("btnLogin")->text(), QStringLiteral("登录中..."));
    QVERIFY(!child<QPushButton>("btnLogin")->isEnabled());

    QTRY_COMPARE(m_server->requestsTo(LoginPath).size(), 1);
    const RecordedRequest request = m_server->requestsTo(LoginPath).first();
    QCOMPARE(request.method, QByteArray("POST"));
    QVERIFY(request.body.isEmpty());
    const QUrlQuery query(QString::fromLatin1(request.query()));
    QCOMPARE(query.queryItemValue(QStringLiteral("userName"), QUrl::FullyDecoded), QStringLiteral("13800000001"));
    QCOMPARE(query.queryItemValue(QStringLiteral("passWord"), QUrl::FullyDecoded), QStringLiteral("a&b#c"));
    QTRY_VERIFY(child<QPushButton>("btnLogin")->isEnabled());
    QCOMPARE(child<QPushButton>("btnLogin")->text(), QStringLiteral("登录"));
}

void TstLoginPage::successSavesAndSignals_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("token");
    QTest::newRow("remembered") << true << QByteArray(R"({"status":1,"msg":"ok","result":{"token":"T1"}})")
                                << QStringLiteral("T1");
    QTest::newRow("not-remembered") << false
                                    << QByteArray(R"({"status":1,"msg":"ok","result":{"token":"T2"}})")
                                    << QStringLiteral("T2");
    QTest::newRow("no-token") << true << QByteArray(R"({"status":1,"msg":"ok"})") << QString();
}

void TstLoginPage::successSavesAndSignals()
{
    QFETCH(bool, remember);
    QFETCH(QByteArray, reply);
    QFETCH(QString, token);

    g_token = QStringLiteral("old");
    m_server->route(LoginPath, TestResponse::json(reply));
    showPage();
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    login(QStringLiteral("teacher1"), QStringLiteral("pw1"), remember);
    QVERIFY(success.wait(5000));
    QVERIFY(!success.wait(200));
    QCOMPARE(success.count(), 1);
    QCOMPARE(g_token, token);

    const Account saved = storedAccount(QStringLiteral("teacher1"));
    QCOMPARE(saved.password, remember ? QStringLiteral("pw1") : QString(""));
    QCOMPARE(saved.remember, remember ? 1 : 0);
    QCOMPARE(saved.autoLogin, 0);
}

void TstLoginPage::refusedLoginShowsMessage()
{
    g_token = QStringLiteral("kept");
    m_server->route(LoginPath, TestResponse::json(R"({"status":2,"msg":"密码错误","result":{"token":"no"}})"));
    showPage();
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    login(QStringLiteral("teacher1"), QStringLiteral("wrong"), true);
    QTRY_COMPARE(child<QLabel>("lbTip")->text(), QStringLiteral("密码错误"));
    QVERIFY(child<QLabel>("lbTip")->isVisible());
    QVERIFY(child<QPushButton>("btnLogin")->isEnabled());
    QCOMPARE(success.count(), 0);
    QCOMPARE(g_token, QStringLiteral("kept"));
    QVERIFY(!storedAccount(QStringLiteral("teacher1")).found());
}

void TstLoginPage::unreachableServiceSaysSo()
{
    // Before: a failed request left the tip empty and the user without a reason.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    g_baseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();

    showPage();
    login(QStringLiteral("teacher1"), QStringLiteral("pw"), true);
    QTRY_COMPARE(child<QLabel>("lbTip")->text(), QStringLiteral("网络连接失败，请稍后重试"));
    QVERIFY(child<QPushButton>("btnLogin")->isEnabled());
    QCOMPARE(child<QPushButton>("btnLogin")->text(), QStringLiteral("登录"));

    // The user can try again once the service is back.
    g_baseUrl = m_server->baseUrl();
    m_server->route(LoginPath, TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"T"}})"));
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    QTest::mouseClick(child<QPushButton>("btnLogin"), Qt::LeftButton);
    QVERIFY(success.wait(5000));
}

void TstLoginPage::emptyFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("tip");
    QTest::newRow("no-name") << QString() << QStringLiteral("pw") << QStringLiteral("用户名不能为空");
    QTest::newRow("nothing") << QString() << QString() << QStringLiteral("用户名不能为空");
    QTest::newRow("no-password") << QStringLiteral("u") << QString() << QStringLiteral("密码不能为空");
}

void TstLoginPage::emptyFields()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, tip);
    showPage();
    QVERIFY(!child<QLabel>("lbTip")->isVisible());
    login(name, password, false);
    QCOMPARE(child<QLabel>("lbTip")->text(), tip);
    QVERIFY(child<QLabel>("lbTip")->isVisible());
    QVERIFY(child<QPushButton>("btnLogin")->isEnabled());
    QTest::qWait(100); // nothing may reach the server; there is no signal for "nothing sent"
    QVERIFY(m_server->requests().isEmpty());
}

void TstLoginPage::newestAccountFilledOnShow()
{
    UserStore &store = UserStore::instance();
    QVERIFY(store.saveUser(QStringLiteral("older"), QStringLiteral("p-old"), true, false));
    QVERIFY(store.saveUser(QStringLiteral("newer"), QStringLiteral("p-new"), true, false));
    QStringList names;
    store.listUserNames(names);

    showPage();
    QCOMPARE(userEdit()->text(), names.first());
    QCOMPARE(child<QLineEdit>("editPassword")->text(), names.first() == QLatin1String("newer")
                                                            ? QStringLiteral("p-new")
                                                            : QStringLiteral("p-old"));
    QVERIFY(child<QCheckBox>("chkRemember")->isChecked());
    QCOMPARE(child<QComboBox>("cbUserName")->count(), 2);
    QVERIFY(m_server->requestsTo(LoginPath).isEmpty());
}

void TstLoginPage::pickingARowFillsTheForm()
{
    QVERIFY(UserStore::instance().saveUser(QStringLiteral("forgetful"), QStringLiteral("x"), false, false));
    QVERIFY(UserStore::instance().saveUser(QStringLiteral("keeper"), QStringLiteral("k-pw"), true, false));
    showPage();
    auto *combo = child<QComboBox>("cbUserName");
    auto *list = qobject_cast<QListWidget *>(combo->view());
    QVERIFY(list);

    for (const QString &name : {QStringLiteral("keeper"), QStringLiteral("forgetful")}) {
        combo->showPopup();
        QTRY_VERIFY(list->isVisible());
        LoginDialogComboxListItem *row = nullptr;
        for (int i = 0; i < list->count(); ++i) {
            auto *candidate = qobject_cast<LoginDialogComboxListItem *>(list->itemWidget(list->item(i)));
            if (candidate && candidate->text() == name)
                row = candidate;
        }
        QVERIFY(row);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(row->mapToGlobal(QPoint(5, 5))));
        QCoreApplication::sendEvent(row, &enter);
        QTest::mouseClick(row, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));

        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(userEdit()->text(), name);
        const bool remembered = name == QLatin1String("keeper");
        QCOMPARE(child<QLineEdit>("editPassword")->text(), remembered ? QStringLiteral("k-pw") : QString());
        QCOMPARE(child<QCheckBox>("chkRemember")->isChecked(), remembered);
    }
}

void TstLoginPage::typingAnUnknownNameEmptiesPassword()
{
    QVERIFY(UserStore::instance().saveUser(QStringLiteral("ab"), QStringLiteral("secret"), true, false));
    showPage();
    QCOMPARE(child<QLineEdit>("editPassword")->text(), QStringLiteral("secret"));

    userEdit()->setFocus();
    QTest::keyClick(userEdit(), Qt::Key_C);
    QCOMPARE(userEdit()->text(), QStringLiteral("abc"));
    QVERIFY(child<QLineEdit>("editPassword")->text().isEmpty());

    // Typing the saved name back fills the password again.
    QTest::keyClick(userEdit(), Qt::Key_Backspace);
    QCOMPARE(child<QLineEdit>("editPassword")->text(), QStringLiteral("secret"));
}

void TstLoginPage::deletingTheShownAccount()
{
    UserStore &store = UserStore::instance();
    QVERIFY(store.saveUser(QStringLiteral("remaining"), QStringLiteral("r-pw"), true, false));
    QVERIFY(store.saveUser(QStringLiteral("shown"), QStringLiteral("s-pw"), true, false));
    showPage();
    auto *list = qobject_cast<QListWidget *>(child<QComboBox>("cbUserName")->view());
    userEdit()->setText(QStringLiteral("shown"));

    LoginDialogComboxListItem *row = nullptr;
    for (int i = 0; i < list->count(); ++i) {
        auto *candidate = qobject_cast<LoginDialogComboxListItem *>(list->itemWidget(list->item(i)));
        if (candidate && candidate->text() == QLatin1String("shown"))
            row = candidate;
    }
    QVERIFY(row);
    QTest::mouseClick(row->findChild<QPushButton *>(QStringLiteral("btnDelete")), Qt::LeftButton);

    QVERIFY(!storedAccount(QStringLiteral("shown")).found());
    QCOMPARE(list->count(), 1);
    QCOMPARE(userEdit()->text(), QStringLiteral("remaining"));
    QCOMPARE(child<QLineEdit>("editPassword")->text(), QStringLiteral("r-pw"));

    // Deleting the last account leaves both fields empty.
    row = qobject_cast<LoginDialogComboxListItem *>(list->itemWidget(list->item(0)));
    QTest::mouseClick(row->findChild<QPushButton *>(QStringLiteral("btnDelete")), Qt::LeftButton);
    QCOMPARE(list->count(), 0);
    QVERIFY(userEdit()->text().isEmpty());
    QVERIFY(child<QLineEdit>("editPassword")->text().isEmpty());
}

void TstLoginPage::autoLoginStartsByItself()
{
    QVERIFY(UserStore::instance().saveUser(QStringLiteral("auto"), QStringLiteral("a-pw"), true, true));
    m_server->route(LoginPath, TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"A"}})"));
    m_page = new LoginPage;
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    m_page->show();
    QVERIFY(success.wait(5000));
    const QList<RecordedRequest> sent = m_server->requestsTo(LoginPath);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().query(), QByteArray("userName=auto&passWord=a-pw"));
    // The flag is carried forward.
    QCOMPARE(storedAccount(QStringLiteral("auto")).autoLogin, 1);
}

void TstLoginPage::savesTheAccountAsSent()
{
    TestResponse slow = TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"S"}})");
    slow.mode = TestResponse::Mode::Trickle;
    slow.trickleIntervalMs = 2;
    m_server->route(LoginPath, slow);
    showPage();
    QSignalSpy success(m_page, &LoginPage::loginSuc);
    login(QStringLiteral("sent-name"), QStringLiteral("sent-pw"), true);
    // The form changes while the reply is on its way.
    userEdit()->setText(QStringLiteral("other"));
    child<QLineEdit>("editPassword")->setText(QStringLiteral("other-pw"));
    child<QCheckBox>("chkRemember")->setChecked(false);
    QVERIFY(success.wait(10000));
    QCOMPARE(storedAccount(QStringLiteral("sent-name")).password, QStringLiteral("sent-pw"));
    QVERIFY(!storedAccount(QStringLiteral("other")).found());
}

void TstLoginPage::linksOpenInBrowser()
{
    showPage();
    QTest::mouseClick(child<QPushButton>("btnForgetPwd"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("btnRegister"), Qt::LeftButton);
    QCOMPARE(m_catcher.urls.size(), 2);
    QCOMPARE(m_catcher.urls.at(0).toString(), g_baseUrl + QStringLiteral("orvane/resetPsd"));
    QCOMPARE(m_catcher.urls.at(1).toString(), g_baseUrl + QStringLiteral("orvane/login?type=register"));
}

void TstLoginPage::previewShowsTheQrImage()
{
    QImage code(37, 37, QImage::Format_RGB32);
    code.fill(Qt::black);
    QVERIFY(code.save(m_dir.filePath(QStringLiteral("RCode.jpg")), "JPG"));
    showPage();
    QMetaObject::invokeMethod(m_page, "onUpdateRcode");
    const QPixmap shown = child<QLabel>("lbRCode")->pixmap(Qt::ReturnByValue);
    QCOMPARE(shown.size(), QSize(120, 120));

    QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("RCode.jpg"))));
    QMetaObject::invokeMethod(m_page, "onUpdateRcode");
    QVERIFY(child<QLabel>("lbRCode")->pixmap(Qt::ReturnByValue).isNull());
}

QTEST_MAIN(TstLoginPage)
#include "tst_loginpage.moc"
