// SPDX-License-Identifier: MIT
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/login.h"
#include "login/loginpage.h"
#include "login/rcodepage.h"
#include "tests/support/testhttpserver.h"

#include <QBuffer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TstLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensOnPasswordPage();
    void switchesPages_data();
    void switchesPages();
    void loginStopsPollingBeforeAccepting_data();
    void loginStopsPollingBeforeAccepting();
    void closeButtonRejects();
    void qrImageReachesThePreview();

private:
    template<typename T> T *child(Login &login, const char *name)
    {
        return login.findChild<T *>(QLatin1String(name));
    }

    QTemporaryDir m_dir;
    TestHttpServer *m_server = nullptr;
};

void TstLogin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppConfig::setApplicationDirectory(m_dir.path());
}

void TstLogin::init()
{
    m_server = new TestHttpServer(this);
    QVERIFY(m_server->start());
    g_baseUrl = m_server->baseUrl();
    m_server->route("orvane/qrcode/getImageCode", TestResponse::withStatus(200, "img", "image/jpeg"));
    m_server->route("orvane/qrcode/getQRcodeState", TestResponse::json(R"({"status":0})"));
}

void TstLogin::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void TstLogin::opensOnPasswordPage()
{
    Login login;
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    QCOMPARE(login.windowTitle(), QStringLiteral("Orvane-登录"));
    QCOMPARE(login.size(), QSize(360, 647));
    QCOMPARE(login.backgroundImage(), QStringLiteral(":/bk1"));
    QCOMPARE(child<QStackedWidget>(login, "loginStack")->currentWidget(), login.loginPage());
    auto *band = child<QWidget>(login, "emptyWid");
    QVERIFY(band->isVisible());
    QCOMPARE(band->height(), 222);
    auto *title = child<QLabel>(login, "lbVer");
    QCOMPARE(title->text(), QStringLiteral("Orvane智慧校园公共云平台"));
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(login.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(login.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(login.testAttribute(Qt::WA_TranslucentBackground));
}

void TstLogin::switchesPages_data()
{
    QTest::addColumn<QList<int>>("requests");
    QTest::addColumn<QString>("background");
    QTest::addColumn<bool>("qrPage");

    QTest::newRow("to-qr") << QList<int>{1} << QStringLiteral(":/bk2") << true;
    QTest::newRow("to-qr-and-back") << QList<int>{1, 0} << QStringLiteral(":/bk1") << false;
    QTest::newRow("unknown-does-nothing") << QList<int>{1, 2} << QStringLiteral(":/bk2") << true;
    QTest::newRow("unknown-first") << QList<int>{2} << QStringLiteral(":/bk1") << false;
}

void TstLogin::switchesPages()
{
    QFETCH(QList<int>, requests);
    QFETCH(QString, background);
    QFETCH(bool, qrPage);

    Login login;
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    for (int type : requests)
        emit login.loginPage()->showPage(type);

    QCOMPARE(login.backgroundImage(), background);
    QCOMPARE(child<QStackedWidget>(login, "loginStack")->currentWidget(),
             qrPage ? static_cast<QWidget *>(login.rcodePage()) : login.loginPage());
    QCOMPARE(child<QWidget>(login, "emptyWid")->isVisible(), !qrPage);
    const QString minLook = child<QPushButton>(login, "btnMin")->styleSheet();
    const QString closeLook = child<QPushButton>(login, "btnClose")->styleSheet();
    if (requests.first() == 1) {
        QCOMPARE(minLook.contains(QLatin1String("url(:/min1)")), qrPage);
        QCOMPARE(closeLook.contains(QLatin1String("url(:/close1)")), qrPage);
        QCOMPARE(minLook.contains(QLatin1String("url(:/min)")), !qrPage);
        QVERIFY(minLook.contains(QLatin1String("url(:/min_hover)")));
        QVERIFY(closeLook.contains(QLatin1String("url(:/close_press)")));
    }

    // The page's own back button returns to the password page.
    if (qrPage) {
        QTest::mouseClick(login.rcodePage()->findChild<QPushButton *>(QStringLiteral("btnRet")),
                          Qt::LeftButton);
        QCOMPARE(login.backgroundImage(), QStringLiteral(":/bk1"));
        QCOMPARE(child<QStackedWidget>(login, "loginStack")->currentWidget(), login.loginPage());
    }
}

void TstLogin::loginStopsPollingBeforeAccepting_data()
{
    QTest::addColumn<bool>("fromQrPage");
    QTest::newRow("password-page") << false;
    QTest::newRow("qr-page") << true;
}

void TstLogin::loginStopsPollingBeforeAccepting()
{
    QFETCH(bool, fromQrPage);
    Login login;
    QVERIFY(login.rcodePage()->pollTimerId() > 0);
    int timerWhenAccepted = -1;
    connect(&login, &QDialog::accepted, this,
            [&] { timerWhenAccepted = login.rcodePage()->pollTimerId(); });
    QTimer::singleShot(0, &login, [&] {
        if (fromQrPage)
            emit login.rcodePage()->loginSuc();
        else
            emit login.loginPage()->loginSuc();
    });
    QCOMPARE(login.exec(), int(QDialog::Accepted));
    QCOMPARE(timerWhenAccepted, 0);
}

void TstLogin::closeButtonRejects()
{
    Login login;
    QTimer::singleShot(0, &login, [&] {
        QTest::mouseClick(child<QPushButton>(login, "btnClose"), Qt::LeftButton);
    });
    QCOMPARE(login.exec(), int(QDialog::Rejected));
}

void TstLogin::qrImageReachesThePreview()
{
    QImage code(41, 41, QImage::Format_RGB32);
    code.fill(Qt::darkBlue);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(code.save(&buffer, "JPG"));
    m_server->route("orvane/qrcode/getImageCode", TestResponse::withStatus(200, jpeg, "image/jpeg"));

    Login login;
    QSignalSpy stored(login.rcodePage(), &RcodePage::updateRcode);
    QVERIFY(stored.wait(5000));
    auto *preview = login.loginPage()->findChild<QLabel *>(QStringLiteral("lbRCode"));
    QCOMPARE(preview->pixmap(Qt::ReturnByValue).size(), QSize(120, 120));
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
