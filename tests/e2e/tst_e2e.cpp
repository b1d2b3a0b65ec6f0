// SPDX-License-Identifier: MIT
// Whole user stories from the outside: the real Orvane and OrvaneTool under their own X
// server against their own demo service, typed into and clicked as a person would.
#include "tests/e2e/e2etestcase.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

namespace {

const QString StartPage = QStringLiteral("GET /orvane/main\\?token=[0-9a-f]{32} 200");
const QString Classroom = QStringLiteral("GET /orvane/index\\?menuId=4&tag=2 200");

// The demo pages' tiles and buttons, by the colour a person sees.
constexpr QRgb ClassroomTile = 0x2b7de9;
constexpr QRgb SubsystemTile = 0xd93025;
constexpr QRgb ExportStudentsTile = 0xe8710a;
constexpr QRgb ImportTeachersTile = 0x0f9d58;
constexpr QRgb ImportStudentsTile = 0x12a4a4;
constexpr QRgb SalaryTemplateTile = 0x8e44ad;
constexpr QRgb ClassDetailButton = 0x5b6bd6;
constexpr QRgb AttendanceExportButton = 0x2e9e6b;

// On the 160 x 74 tool: its right part opens the classroom, its left part has the menu.
constexpr QPoint ToolClassroom{120, 37};
constexpr QPoint ToolHandle{30, 37};

// Red text of the login page's tip line somewhere in the window.
bool showsRedTip(const QImage &screen, const QRect &window)
{
    int red = 0;
    const QRect area = window.intersected(screen.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = screen.pixel(x, y);
            red += qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
        }
    }
    return red >= 20;
}

QString scanQrCode(const QString &imagePath)
{
    QProcess reader;
    reader.start(QStringLiteral("zbarimg"), {"--raw", "-q", imagePath});
    reader.waitForFinished(20000);
    return QString::fromUtf8(reader.readAllStandardOutput()).trimmed();
}

} // namespace

class TstE2e : public E2eTestCase
{
    Q_OBJECT

private slots:
    void passwordLogin();
    void qrCodeLogin();
    void linksToTheBrowser();
    void toolDrivesOrvane();

private:
    bool clickColour(QRgb colour);
    bool waitForOpened(const QString &path);
};

bool TstE2e::clickColour(QRgb colour)
{
    Desktop &desktop = m_session->desktop();
    const QString main = desktop.visibleWindow(E2eSession::MainTitle);
    const QRect region = desktop.waitForColour(colour, desktop.geometry(main));
    return !region.isNull() && desktop.clickAt(region.center());
}

bool TstE2e::waitForOpened(const QString &path)
{
    const QString url = m_session->service().baseUrl() + path;
    return QTest::qWaitFor([&] { return m_session->app().openedUrls().contains(url); }, 20000);
}

void TstE2e::passwordLogin()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    const QRect loginRect = desktop.geometry(login);
    QCOMPARE(loginRect.size(), QSize(360, 647));

    // A wrong password: the service's message in red under the form, and the window stays.
    QVERIFY(!showsRedTip(desktop.screenshot(), loginRect));
    QVERIFY(s.typeLogin(login, "13700000003", "wrong"));
    QVERIFY(s.service().waitForRequest(
        "POST /orvane/client/login\\?userName=13700000003&passWord=wrong 200"));
    QVERIFY(QTest::qWaitFor([&] { return showsRedTip(desktop.screenshot(), loginRect); }, 20000));

    // A second Orvane ends at once, showing and asking nothing; the first goes on.
    QScopedPointer<QProcess> second(s.app().startOrvane(QStringLiteral("second.log")));
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(s.service().requests("GET /orvane/qrcode/getImageCode .*").size(), 1);
    QCOMPARE(desktop.visibleWindow(E2eSession::LoginTitle), login);

    // The right password, with "&", "#", "+", a space and "%", remembered.
    QVERIFY(s.typeLogin(login, "13700000003", "a&b#c+d e%", true));
    QVERIFY2(s.service().waitForRequest("POST /orvane/client/login\\?userName=13700000003"
                                        "&passWord=a%26b%23c%2Bd%20e%25 200"),
             qPrintable(s.diagnostics()));
    QVERIFY2(s.service().waitForRequest(StartPage), qPrintable(s.diagnostics()));
    QVERIFY(!desktop.waitForWindow(E2eSession::MainTitle).isEmpty());
    QVERIFY(desktop.waitForNoWindow(E2eSession::LoginTitle));
    QCOMPARE(s.service().requests("GET /orvane/main\\?.*").size(), 1);
    const QByteArray rows = desktop.run(
        "sqlite3",
        {s.app().path("Orvane.db"), "SELECT user_name, passwd, remember_pwd FROM tbl_user_info"});
    QCOMPARE(rows.trimmed(), QByteArray("13700000003|a&b#c+d e%|1"));

    // The tool docks at the bottom-right corner of the screen.
    const QString tool = desktop.waitForWindow(E2eSession::ToolTitle);
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    QCOMPARE(desktop.geometry(tool),
             QRect(E2eSession::ScreenWidth - 160, E2eSession::ScreenHeight - 74, 160, 74));

    // "closeMain" on the channel ends Orvane, and the tool with it.
    const qint64 toolPid = desktop.windowPid(tool);
    QVERIFY(toolPid > 0 && !processEnded(toolPid));
    // Sent from a socket that is still open when Orvane looks up whose it is.
    QUdpSocket sender;
    sender.writeDatagram("closeMain", QHostAddress::LocalHost, quint16(s.app().mainPort()));
    QCOMPARE(s.waitForOrvaneExit(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 15000);
}

void TstE2e::qrCodeLogin()
{
    E2eSession &s = *m_session;
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    // The code shown under the form is a real one, for this login's confirm page.
    QString scanned;
    QVERIFY(QTest::qWaitFor(
        [&] { return !(scanned = scanQrCode(s.app().path("RCode.jpg"))).isEmpty(); }, 20000));
    QVERIFY2(scanned.startsWith(s.service().baseUrl() + "orvane/qrcode/confirm?ticket="),
             qPrintable(scanned));
    QVERIFY(s.service().waitForRequest("POST /orvane/qrcode/getQRcodeState 200"));
    QCOMPARE(s.desktop().visibleWindow(E2eSession::LoginTitle), login);

    // The phone confirms, through the command-line form of the confirm page.
    QNetworkAccessManager phone;
    QNetworkReply *reply = phone.get(QNetworkRequest(
        QUrl(s.service().baseUrl() + "orvane/qrcode/confirm?ticket=latest&account=13900000002")));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(15000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    delete reply;
    QVERIFY2(s.service().waitForRequest(
                 "GET /orvane/loginMainIndex\\?userName=13900000002&passWord=demo456 200"),
             qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().waitForWindow(E2eSession::MainTitle).isEmpty());
    QVERIFY(s.desktop().waitForNoWindow(E2eSession::LoginTitle));
    QVERIFY(s.service().requests("POST /orvane/client/login.*").isEmpty());
}

void TstE2e::linksToTheBrowser()
{
    E2eSession &s = *m_session;
    QVERIFY2(!s.passwordLogin().isEmpty(), qPrintable(s.diagnostics()));

    // Exports and imports go to the desktop browser and never reach the view.
    QVERIFY(clickColour(ExportStudentsTile));
    QVERIFY(waitForOpened("exam/exportStudent.action?classId=301&format=csv"));
    QVERIFY(clickColour(ImportTeachersTile));
    QVERIFY(waitForOpened("orvane/user/import/teacher"));
    QVERIFY(clickColour(ImportStudentsTile));
    QVERIFY(waitForOpened("orvane/user/import/student"));
    QVERIFY(clickColour(SalaryTemplateTile));
    QVERIFY(waitForOpened("orvane/oa/salary/exportSalaryTemplate"));
    QVERIFY(s.service().requests(".* /(exam|orvane/user|orvane/oa)/.*").isEmpty());

    // The start page still works: its classroom tile loads in the view.
    QVERIFY(clickColour(ClassroomTile));
    QVERIFY2(s.service().waitForRequest(Classroom), qPrintable(s.diagnostics()));
    // The attendance form is submitted to the browser, not to the view.
    QVERIFY(clickColour(AttendanceExportButton));
    QVERIFY(waitForOpened("orvane/attendance/classAttendanceListExport"));
    // "课堂详情" asks for a new window; it opens in the same view.
    QVERIFY(clickColour(ClassDetailButton));
    QVERIFY2(s.service().waitForRequest("GET /orvane/classroom/detail\\?classId=301 200"),
             qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests(".*classAttendanceListExport.*").isEmpty());
    QCOMPARE(s.app().openedUrls().size(), 5);
    const QByteArray windows =
        s.desktop().run("xdotool", {"search", "--onlyvisible", "--name", "^Orvane-"});
    QCOMPARE(windows.trimmed().split('\n').size(), 2); // the main window and the tool
}

void TstE2e::toolDrivesOrvane()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    QVERIFY2(!s.passwordLogin().isEmpty() && s.service().waitForRequest(StartPage),
             qPrintable(s.diagnostics()));
    const QString tool = desktop.waitForWindow(E2eSession::ToolTitle);
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));

    // Coming from another system of the platform, the classroom button leads home first...
    QVERIFY(clickColour(SubsystemTile));
    QVERIFY(s.service().waitForRequest("GET /dede/dedeLogin\\?token=[0-9a-f]{32} 200"));
    QVERIFY(desktop.click(tool, ToolClassroom));
    QVERIFY(QTest::qWaitFor([&] { return s.service().requests(StartPage).size() == 2; }, 20000));
    QVERIFY(s.service().requests(Classroom).isEmpty());
    // ...and the next press to the classroom.
    QVERIFY(desktop.click(tool, ToolClassroom));
    QVERIFY2(s.service().waitForRequest(Classroom), qPrintable(s.diagnostics()));

    // "退出" in the tool's menu ends both programs.
    const qint64 toolPid = desktop.windowPid(tool);
    QVERIFY(desktop.click(tool, ToolHandle, 3));
    QString menu;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QString &window : desktop.visibleWindowsOf(toolPid))
                menu = window != tool ? window : menu;
            return !menu.isEmpty();
        },
        20000));
    // Three rows: "开启/关闭悬浮标", "显示窗口", "退出"; the last is the lowest sixth's centre.
    const QRect menuRect = desktop.geometry(menu);
    QVERIFY(desktop.click(menu, QPoint(menuRect.width() / 2, menuRect.height() * 5 / 6)));
    QCOMPARE(s.waitForOrvaneExit(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 15000);
}

QTEST_GUILESS_MAIN(TstE2e)
#include "tst_e2e.moc"
