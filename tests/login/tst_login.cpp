// SPDX-License-Identifier: MIT
// The login window against a real HTTP server on 127.0.0.1: the password login with the
// saved accounts, and the QR-code login running beside it. What the page sends is checked at
// the server, what it keeps in Orvane.db of this test's own folder.
#include "common/globals.h"
#include "login/login.h"
#include "login/logindialogcomboxlistitem.h"
#include "login/loginpage.h"
#include "login/rcodepage.h"
#include "store/csqlite3.h"
#include "store/userstore.h"
#include "tests/e2e/demoservice.h"
#include "tests/support/browsercatcher.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>

#include <csignal>
#include <sys/resource.h>

#include <memory>

namespace {

const QByteArray LoginPath = "orvane/client/login";
const QByteArray StatePath = "orvane/qrcode/getQRcodeState";

QByteArray jpeg(Qt::GlobalColor colour = Qt::darkBlue)
{
    QImage code(41, 41, QImage::Format_RGB32);
    code.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    code.save(&buffer, "JPG");
    return bytes;
}

// The password and flags saved for name, or "<none>".
QString saved(const QString &name)
{
    QString password;
    int remember = -1;
    int autoLogin = -1;
    UserStore::instance().loadUser(name, password, remember, autoLogin);
    return password.isNull()
        ? QStringLiteral("<none>")
        : QStringLiteral("%1|%2|%3").arg(password).arg(remember).arg(autoLogin);
}

} // namespace

class TstLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordLogin_data();
    void passwordLogin();
    void storeFailureDoesNotStopTheLogin();
    void unverifiedCertificateNamed();
    void savedAccounts();
    void keyboardWalk();
    void autoLogin_data();
    void autoLogin();
    void accessibleNames_data();
    void accessibleNames();
    void qrCodeLogin();
    void qrImageFaults_data();
    void qrImageFaults();
    void browserLinksAndPages();

private:
    void showLogin();
    template <typename T> T *child(const char *name) const
    {
        return m_login->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *userEdit() const { return child<QComboBox>("cbUserName")->findChild<QLineEdit *>(); }
    void typeLogin(const QString &name, const QString &password, bool remember);
    LoginDialogComboxListItem *row(const QString &name) const;
    // Answers the question that deleting user's account asks: "删除" or "取消".
    void answerDeletion(const QString &user, const QString &button);

    BrowserCatcher m_browser;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<Login> m_login;
};

void TstLogin::initTestCase()
{
    QVERIFY(TestSupport::actAsPlainOwner());
}

void TstLogin::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    m_server->route("orvane/qrcode/getImageCode",
                    TestResponse::withStatus(200, jpeg(), "image/jpeg"));
    m_server->route(StatePath, TestResponse::json(R"({"status":0})"));
    g_baseUrl = m_server->baseUrl();
    g_token = QStringLiteral("kept");
    g_userName.clear();
    g_passWord.clear();
    g_qrLogin = false;
    QFile::remove(TestSupport::appFile(QStringLiteral("RCode.jpg")));
    QStringList names;
    UserStore::instance().listUserNames(names);
    for (const QString &name : qAsConst(names))
        QVERIFY(UserStore::instance().removeUser(name));
    m_browser.urls.clear();
}

void TstLogin::cleanup()
{
    m_login.reset();
    m_server.reset();
}

void TstLogin::showLogin()
{
    m_login = std::make_unique<Login>();
    m_login->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_login.get()));
}

void TstLogin::typeLogin(const QString &name, const QString &password, bool remember)
{
    userEdit()->setText(name);
    child<QLineEdit>("editPassword")->setText(password);
    child<QCheckBox>("chkRemember")->setChecked(remember);
    QTest::mouseClick(child<QPushButton>("btnLogin"), Qt::LeftButton);
}

LoginDialogComboxListItem *TstLogin::row(const QString &name) const
{
    auto *list = qobject_cast<QListWidget *>(child<QComboBox>("cbUserName")->view());
    for (int i = 0; list && i < list->count(); ++i) {
        auto *item = qobject_cast<LoginDialogComboxListItem *>(list->itemWidget(list->item(i)));
        if (item && item->text() == name)
            return item;
    }
    return nullptr;
}

void TstLogin::answerDeletion(const QString &user, const QString &button)
{
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = m_login->findChild<QMessageBox *>()) && box->isVisible());
    QVERIFY2(box->text().contains(QStringLiteral("“%1”").arg(user)), qPrintable(box->text()));
    for (QAbstractButton *choice : box->buttons()) {
        if (choice->text() == button)
            QTest::keyClick(choice, Qt::Key_Space);
    }
    QTRY_VERIFY(!m_login->findChild<QMessageBox *>());
}

void TstLogin::passwordLogin_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QByteArray>("reply"); // "refuse": nobody listens; empty: nothing is sent
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("savedAs");
    QTest::addColumn<QString>("token");

    const QByteArray ok = R"({"status":1,"msg":"ok","result":{"token":"T1"}})";
    QTest::newRow("remembered") << "13800000001"
                                << "a&b#c" << true << ok << "ok"
                                << "a&b#c|1|0"
                                << "T1";
    QTest::newRow("not-remembered") << "13800000001"
                                    << "pw" << false << ok << "ok"
                                    << "|0|0"
                                    << "T1";
    QTest::newRow("refused") << "13800000001"
                             << "wrong" << true
                             << QByteArray(
                                    R"({"status":2,"msg":"密码错误","result":{"token":"no"}})")
                             << "密码错误"
                             << "<none>"
                             << "kept";
    // Before: a failed request left the tip empty and the user without a reason.
    QTest::newRow("unreachable") << "13800000001"
                                 << "pw" << true << QByteArray("refuse")
                                 << "网络连接失败，请稍后重试"
                                 << "<none>"
                                 << "kept";
    QTest::newRow("no-name") << ""
                             << "pw" << true << QByteArray() << "用户名不能为空"
                             << "<none>"
                             << "kept";
    QTest::newRow("no-password") << "u"
                                 << "" << true << QByteArray() << "密码不能为空"
                                 << "<none>"
                                 << "kept";
}

void TstLogin::passwordLogin()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, remember);
    QFETCH(QByteArray, reply);
    QFETCH(QString, tip);
    QFETCH(QString, savedAs);
    QFETCH(QString, token);

    QTcpServer closed;
    if (reply == "refuse") {
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        g_baseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        closed.close();
    }
    m_server->route(LoginPath, TestResponse::json(reply));
    showLogin();
    QSignalSpy accepted(m_login.get(), &QDialog::accepted);
    auto *button = child<QPushButton>("btnLogin");
    auto *tipLabel = child<QLabel>("lbTip");
    QVERIFY(!tipLabel->isVisible());
    typeLogin(name, password, remember);

    if (reply.isEmpty()) {
        // Refused before anything is sent: the button never went into its waiting state.
        QCOMPARE(button->text(), QStringLiteral("登录"));
    } else {
        QCOMPARE(button->text(), QStringLiteral("登录中..."));
        QVERIFY(!button->isEnabled());
        QTRY_COMPARE(tipLabel->text(), tip);
    }
    QCOMPARE(tipLabel->text(), tip);
    QVERIFY(!tipLabel->isHidden());
    QTRY_VERIFY(button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("登录"));
    QCOMPARE(accepted.count(), savedAs == QLatin1String("<none>") ? 0 : 1);
    QCOMPARE(g_token, token);
    QCOMPARE(saved(name), savedAs);

    if (reply.startsWith('{')) {
        const QList<RecordedRequest> sent = m_server->requestsTo(LoginPath);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().method, QByteArray("POST"));
        const QUrlQuery query(QString::fromLatin1(sent.first().query()));
        QCOMPARE(query.queryItemValue("userName", QUrl::FullyDecoded), name);
        QCOMPARE(query.queryItemValue("passWord", QUrl::FullyDecoded), password);
    }
}

void TstLogin::storeFailureDoesNotStopTheLogin()
{
    QVERIFY(UserStore::instance().saveUser("13900000002", "p2", true, false));
    const QString db = TestSupport::appFile(QStringLiteral("Orvane.db"));
    const QByteArray before = TestSupport::readFile(db);
    QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner));
    const auto restore = qScopeGuard(
        [&] { QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner); });
    m_server->route(LoginPath, TestResponse::json(R"({"status":1,"result":{"token":"T"}})"));
    showLogin();
    // Before: "remember" was ticked and nothing kept, without a word.
    QCOMPARE(child<QLabel>("lbTip")->text(),
             QString("账号无法保存在这台电脑上：" + db + " 是只读的"));
    QSignalSpy accepted(m_login.get(), &QDialog::accepted);
    typeLogin("13800000001", "pw", true);
    QVERIFY(accepted.wait(10000));
    QCOMPARE(TestSupport::readFile(db), before);
}

// Before: against a self-signed certificate both logins failed as "网络连接失败，请稍后重试".
void TstLogin::unverifiedCertificateNamed()
{
    DemoService service;
    QVERIFY2(service.start({QStringLiteral("--https")}), qPrintable(service.error()));
    g_baseUrl = service.baseUrl();
    QVERIFY(g_baseUrl.startsWith("https://127.0.0.1:"));
    const QString tip = QStringLiteral("无法验证服务器 127.0.0.1 的证书，已停止连接");
    showLogin();
    // The QR-code page has no place for text: its failure shows on the password page.
    auto *tipLabel = child<QLabel>("lbTip");
    QTRY_COMPARE(tipLabel->text(), tip);
    tipLabel->clear();
    typeLogin("13800000001", "demo123", true);
    QTRY_COMPARE(tipLabel->text(), tip);
    QTRY_VERIFY(child<QPushButton>("btnLogin")->isEnabled());
    QCOMPARE(g_token, QStringLiteral("kept"));
    QCOMPARE(saved("13800000001"), QStringLiteral("<none>"));
    // Nothing was accepted: no request, the password included, reached the service.
    QCOMPARE(service.requests(QStringLiteral("(GET|POST) .*")), QStringList());
}

void TstLogin::savedAccounts()
{
    UserStore &store = UserStore::instance();
    QVERIFY(store.saveUser("older", "o-pw", false, false));
    QVERIFY(store.saveUser("newer", "n-pw", true, false));
    QCOMPARE(CSqlite3(QFile::encodeName(TestSupport::appFile("Orvane.db")).constData())
                 .execute("update tbl_user_info set login_time = case user_name when 'older' "
                          "then '2001-01-01 00:00:00' else '2002-01-01 00:00:00' end"),
             2);
    showLogin();
    auto *password = child<QLineEdit>("editPassword");
    auto *remember = child<QCheckBox>("chkRemember");
    auto *combo = child<QComboBox>("cbUserName");
    // The newest account is filled in.
    QCOMPARE(userEdit()->text(), QStringLiteral("newer"));
    QCOMPARE(password->text(), QStringLiteral("n-pw"));
    QVERIFY(remember->isChecked());
    QCOMPARE(combo->count(), 2);

    // Picking a row fills the form from the store.
    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    LoginDialogComboxListItem *older = row("older");
    QVERIFY(older);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(older->mapToGlobal(QPoint(5, 5))));
    QCoreApplication::sendEvent(older, &enter);
    QTest::mouseClick(older, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTRY_VERIFY(!combo->view()->isVisible());
    QCOMPARE(userEdit()->text(), QStringLiteral("older"));
    QCOMPARE(password->text(), QString());
    QVERIFY(!remember->isChecked());

    // Typing: any other name empties the password, the saved name brings it back.
    userEdit()->setText(QStringLiteral("newe"));
    userEdit()->setFocus();
    QTest::keyClick(userEdit(), Qt::Key_R);
    QCOMPARE(password->text(), QStringLiteral("n-pw"));
    QTest::keyClick(userEdit(), Qt::Key_X);
    QCOMPARE(password->text(), QString());

    // Deleting the shown account empties the form, then fills in the newest one left; before,
    // a click next to the name deleted an account and its password without a question.
    userEdit()->setText(QStringLiteral("newer"));
    QTest::mouseClick(row("newer")->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    answerDeletion("newer", QStringLiteral("取消"));
    QCOMPARE(saved("newer"), QStringLiteral("n-pw|1|0"));
    QTest::mouseClick(row("newer")->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    answerDeletion("newer", QStringLiteral("删除"));
    QCOMPARE(saved("newer"), QStringLiteral("<none>"));
    QCOMPARE(combo->count(), 1);
    QCOMPARE(userEdit()->text(), QStringLiteral("older"));
    QTest::mouseClick(row("older")->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    answerDeletion("older", QStringLiteral("删除"));
    QCOMPARE(combo->count(), 0);
    QVERIFY(userEdit()->text().isEmpty() && password->text().isEmpty());
    QVERIFY(m_server->requestsTo(LoginPath).isEmpty());
}

void TstLogin::keyboardWalk()
{
    m_server->route(LoginPath, TestResponse::json(R"({"status":2,"msg":"密码错误"})"));
    showLogin();
    m_login->activateWindow();
    QTRY_VERIFY(m_login->isActiveWindow());
    // Before: the focus began on "登录", so digits typed at once were lost.
    QTRY_COMPARE(QApplication::focusWidget(), userEdit());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("13800000001"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("wrong"));
    auto *password = child<QLineEdit>("editPassword");
    auto *button = child<QPushButton>("btnLogin");
    // Enter logs in from every field; a refused password is selected, to be typed over.
    int sent = 0;
    for (QWidget *field : {static_cast<QWidget *>(password), static_cast<QWidget *>(userEdit()),
                           static_cast<QWidget *>(child<QCheckBox>("chkRemember"))}) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        ++sent;
        QTRY_COMPARE(m_server->requestsTo(LoginPath).size(), sent);
        QTRY_VERIFY(button->isEnabled());
        QCOMPARE(QApplication::focusWidget(), password);
        QCOMPARE(password->selectedText(), QStringLiteral("wrong"));
    }
    // Every control shows that it has the focus.
    for (const char *name : {"editUserName", "editPassword", "chkRemember", "btnLogin",
                             "btnForgetPwd", "btnRegister"}) {
        auto *control = child<QWidget>(name);
        (control == button ? password : static_cast<QWidget *>(button))->setFocus();
        const QImage unfocused = control->grab().toImage();
        control->setFocus();
        QVERIFY2(control->grab().toImage() != unfocused, name);
    }

    // Saved accounts: the password of the name filled in is next; the list opens with Alt+Down
    // and is walked with the arrows, Enter chooses, Escape closes, Delete asks first.
    QVERIFY(UserStore::instance().saveUser("older", "o-pw", true, false));
    QVERIFY(UserStore::instance().saveUser("13800000001", "pw", true, false));
    QCOMPARE(CSqlite3(QFile::encodeName(TestSupport::appFile("Orvane.db")).constData())
                 .execute("update tbl_user_info set login_time = '2001-01-01 00:00:00' "
                          "where user_name = 'older'"),
             1);
    showLogin();
    m_login->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>("editPassword"));
    auto *combo = child<QComboBox>("cbUserName");
    // The list opens at the account shown; each key goes where a person's would.
    const auto inList = [&](std::initializer_list<Qt::Key> keys) {
        QTest::keyClick(userEdit(), Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(combo->view()->isVisible());
        for (Qt::Key key : keys)
            QTest::keyClick(combo->view(), key);
    };
    inList({Qt::Key_Down, Qt::Key_Escape});
    QTRY_VERIFY(!combo->view()->isVisible());
    QVERIFY(m_login->isVisible());
    QCOMPARE(userEdit()->text(), QStringLiteral("13800000001"));
    // Before: Down and Enter chose nothing.
    inList({Qt::Key_Down, Qt::Key_Return});
    QTRY_VERIFY(!combo->view()->isVisible());
    QCOMPARE(userEdit()->text(), QStringLiteral("older"));
    QCOMPARE(child<QLineEdit>("editPassword")->text(), QStringLiteral("o-pw"));
    inList({Qt::Key_Up, Qt::Key_Delete});
    answerDeletion("13800000001", QStringLiteral("删除"));
    QCOMPARE(saved("13800000001"), QStringLiteral("<none>"));
    QCOMPARE(saved("older"), QStringLiteral("o-pw|1|0"));
}

void TstLogin::autoLogin_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::newRow("at-the-start") << true;
    QTest::newRow("switching-accounts") << false;
}

void TstLogin::autoLogin()
{
    QFETCH(bool, allowed);
    QVERIFY(UserStore::instance().saveUser("auto", "a-pw", true, true));
    m_server->route(LoginPath, TestResponse::json(R"({"status":1,"result":{"token":"A"}})"));
    m_login = std::make_unique<Login>();
    m_login->setAutomaticLogin(allowed);
    QSignalSpy accepted(m_login.get(), &QDialog::accepted);
    m_login->show();
    if (!allowed) {
        // The form is filled in, and nothing sent until the user says so.
        QVERIFY(QTest::qWaitForWindowExposed(m_login.get()));
        QCOMPARE(child<QLineEdit>("editPassword")->text(), QStringLiteral("a-pw"));
        QCOMPARE(child<QPushButton>("btnLogin")->text(), QStringLiteral("登录"));
        QTest::mouseClick(child<QPushButton>("btnLogin"), Qt::LeftButton);
    }
    QVERIFY(accepted.wait(10000));
    QCOMPARE(m_server->requestsTo(LoginPath).size(), 1);
    QCOMPARE(m_server->requestsTo(LoginPath).first().query(),
             QByteArray("userName=auto&passWord=a-pw"));
    QCOMPARE(saved("auto"), QStringLiteral("a-pw|1|1"));
}

void TstLogin::accessibleNames_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("password-page") << 0;
    QTest::newRow("qr-code-page") << 1;
}

// Before: no control had a name; the user-name field was not even in a screen reader's tree.
void TstLogin::accessibleNames()
{
    QFETCH(int, page);
    QVERIFY(UserStore::instance().saveUser("13800000001", "pw", true, false));
    showLogin();
    emit m_login->findChild<LoginPage *>()->showPage(page);
    QCOMPARE(TestSupport::unnamedControls(m_login.get()).join(','), QString());
    // Before: the name field was missing from a screen reader's tree.
    QAccessibleInterface *combo =
        QAccessible::queryAccessibleInterface(child<QComboBox>("cbUserName"));
    QCOMPARE(combo->indexOfChild(QAccessible::queryAccessibleInterface(userEdit())), 0);
}

void TstLogin::qrCodeLogin()
{
    TestResponse image = TestResponse::withStatus(200, jpeg(), "image/jpeg");
    image.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("ticket=abc123; Path=/")));
    m_server->route("orvane/qrcode/getImageCode", image);
    // What a password session of this run left behind.
    g_token = QStringLiteral("0ld");
    showLogin();
    QSignalSpy accepted(m_login.get(), &QDialog::accepted);

    // The image is kept in RCode.jpg and shown small on the password page.
    auto *preview = m_login->findChild<LoginPage *>()->findChild<QLabel *>("lbRCode");
    QTRY_COMPARE(preview->pixmap(Qt::ReturnByValue).size(), QSize(120, 120));
    QCOMPARE(TestSupport::readFile(TestSupport::appFile("RCode.jpg")), jpeg());

    // Then the state is polled with the image's cookie, until the phone confirms.
    QTRY_VERIFY_WITH_TIMEOUT(!m_server->requestsTo(StatePath).isEmpty(), 5000);
    const RecordedRequest poll = m_server->requestsTo(StatePath).first();
    QCOMPARE(poll.method, QByteArray("POST"));
    QVERIFY(poll.body.isEmpty());
    QCOMPARE(poll.header("cookie"), QByteArray("ticket=abc123"));
    QCOMPARE(accepted.count(), 0);
    m_server->route(StatePath,
                    TestResponse::json(R"({"status":1,"userName":"u1","passWord":"p&1"})"));
    QVERIFY(accepted.wait(10000));
    QVERIFY(g_qrLogin);
    QCOMPARE(g_userName, QStringLiteral("u1"));
    QCOMPARE(g_passWord, QStringLiteral("p&1"));
    // Before: the keep-alive went on asking about the password session's token.
    QVERIFY(g_token.isEmpty());
    QVERIFY(m_server->requestsTo(LoginPath).isEmpty());
}

void TstLogin::qrImageFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("kept"); // RCode.jpg afterwards: "new", "old" or none
    QTest::newRow("no-picture") << "no-picture" << QByteArray("old");
    // Before: the link was followed and the file it named overwritten.
    QTest::newRow("link-to-a-file") << "link" << QByteArray("new");
    // Before: no preview, and no poll ever; the code is shown from memory now.
    QTest::newRow("folder-in-the-way") << "folder" << QByteArray();
    // Before: the flush failed unnoticed and the good picture was replaced by an empty one.
    QTest::newRow("disk-full") << "full" << QByteArray("old");
    // Before: a save cut short by a kill left its temporary file for good.
    QTest::newRow("stale-temporary") << "stale" << QByteArray("new");
}

void TstLogin::qrImageFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, kept);
    const QString image = TestSupport::appFile("RCode.jpg");
    const QString other = TestSupport::appFile("notes.txt");
    const QByteArray old = jpeg(Qt::red);
    QVERIFY(TestSupport::writeFile(image, old));
    QVERIFY(TestSupport::writeFile(other, "notes"));
    QVERIFY(TestSupport::writeFile(image + ".Ab12Cd", "partial"));
    const auto restore = qScopeGuard([&] {
        QDir(image).removeRecursively();
        QFile::remove(image);
        QFile::remove(other);
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &unlimited);
    });
    if (fault == QLatin1String("no-picture"))
        m_server->route("orvane/qrcode/getImageCode",
                        TestResponse::withStatus(500, "<html>错误</html>", "text/html"));
    if (fault == QLatin1String("link"))
        QVERIFY(QFile::remove(image) && QFile::link(other, image));
    if (fault == QLatin1String("folder"))
        QVERIFY(QFile::remove(image) && QDir().mkdir(image));
    if (fault == QLatin1String("full")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{rlim_t(old.size() / 2), RLIM_INFINITY};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }

    showLogin();
    // Polling starts whatever became of the picture, and the page shows a code.
    QTRY_VERIFY_WITH_TIMEOUT(!m_server->requestsTo(StatePath).isEmpty(), 5000);
    QCOMPARE(m_login->findChild<LoginPage *>()
                 ->findChild<QLabel *>("lbRCode")
                 ->pixmap(Qt::ReturnByValue)
                 .size(),
             QSize(120, 120));
    QCOMPARE(TestSupport::readFile(image),
             kept == "new"       ? jpeg()
                 : kept == "old" ? old
                                 : QByteArray());
    QCOMPARE(QFileInfo(image).isSymLink(), false);
    QCOMPARE(TestSupport::readFile(other), QByteArray("notes"));
    QCOMPARE(QDir(QFileInfo(image).path()).entryList({"RCode.jpg.*"}, QDir::Files), QStringList());
}

void TstLogin::browserLinksAndPages()
{
    showLogin();
    QTest::mouseClick(child<QPushButton>("btnForgetPwd"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("btnRegister"), Qt::LeftButton);
    QCOMPARE(m_browser.urls,
             QList<QUrl>({QUrl(g_baseUrl + "orvane/resetPsd"),
                          QUrl(g_baseUrl + "orvane/login?type=register")}));

    // Tab walks the form, not the title bar: user name, password, remember, login.
    m_login->activateWindow();
    QTRY_VERIFY(m_login->isActiveWindow());
    child<QLineEdit>("editUserName")->setFocus();
    QStringList order;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"editPassword", "chkRemember", "btnLogin"}));

    // The QR-code page and back; the close button rejects the window.
    auto *stack = child<QStackedWidget>("loginStack");
    emit m_login->findChild<LoginPage *>()->showPage(1);
    QCOMPARE(stack->currentWidget(), m_login->findChild<RcodePage *>());
    QTest::mouseClick(m_login->findChild<RcodePage *>()->findChild<QPushButton *>("btnRet"),
                      Qt::LeftButton);
    QCOMPARE(stack->currentWidget(), m_login->findChild<LoginPage *>());
    QSignalSpy rejected(m_login.get(), &QDialog::rejected);
    QTest::mouseClick(child<QPushButton>("btnClose"), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
