// SPDX-License-Identifier: MIT
// Whole user stories from the outside: the real Orvane and OrvaneTool under their own X
// server against their own demo service, typed into and clicked as a person would. Built a
// second time as tst_installed, the same stories told by the programs a package installed.
#include "tests/e2e/e2etestcase.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <sys/stat.h>

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
constexpr QRgb AttackTile = 0x455a64;
// The attack page's ways to a foreign site, and the foreign site's own band.
constexpr QRgb PlainLink = 0xe53935;
constexpr QRgb BlankLink = 0xfb8c00;
constexpr QRgb RedirectLink = 0xc0ca33;
constexpr QRgb ScriptButton = 0x43a047;
constexpr QRgb WindowOpenButton = 0x00acc1;
constexpr QRgb FormButton = 0x1e88e5;
constexpr QRgb SshLink = 0x8e24aa;
constexpr QRgb FileLink = 0xd81b60;
constexpr QRgb JavaScriptLink = 0x6d4c41;
constexpr QRgb ScriptClicksSsh = 0x546e7a;
constexpr QRgb ModernTile = 0x3f51b5;
constexpr QRgb ModernPassed = 0x1e9e5a;
constexpr QRgb ModernFailed = 0xc0392b;

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

// "uid mode" of a file, or of a process as /proc/<pid>, the mode in octal.
QString ownerAndMode(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("missing");
    return QStringLiteral("%1 %2").arg(st.st_uid).arg(st.st_mode & 07777, 0, 8);
}

QString processFile(qint64 pid, const char *name = "")
{
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name));
}

} // namespace

class TstE2e : public E2eTestCase
{
    Q_OBJECT

public:
#ifdef ORVANE_INSTALLED_ORVANE
    // As nobody, with the programs where the package put them (scripts/check-package).
    TstE2e()
    {
        m_installed = {ORVANE_INSTALLED_ORVANE, ORVANE_INSTALLED_TOOL};
    }
#endif

private slots:
    void passwordLogin();
    void qrCodeLogin();
    void linksToTheBrowser();
    void toolDrivesOrvane();
    void foreignSiteCannotTakeOver();
    void modernPage();

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
    const QString user = QString::number(s.app().uid());
    QCOMPARE(ownerAndMode(processFile(s.orvane()->processId())), user + " 555");
    const QRect loginRect = desktop.geometry(login);
    QCOMPARE(loginRect.size(), QSize(360, 647));
    // No web engine is loaded for the login window.
    const QByteArray maps =
        TestSupport::readFile(QStringLiteral("/proc/%1/maps").arg(s.orvane()->processId()));
    QVERIFY(maps.contains("libQt5Widgets"));
    QVERIFY2(!maps.contains("WebKit") && !maps.contains("WebEngine")
                 && !maps.contains("orvane-web"),
             maps.constData());

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
    const QString main = desktop.waitForWindow(E2eSession::MainTitle);
    QVERIFY(!main.isEmpty());
    QVERIFY(desktop.waitForNoWindow(E2eSession::LoginTitle));
    QCOMPARE(s.service().requests("GET /orvane/main\\?.*").size(), 1);
    const QString db = s.app().path("Orvane.db");
    const QByteArray rows =
        desktop.run("sqlite3", {db, "SELECT user_name, passwd, remember_pwd FROM tbl_user_info"});
    QCOMPARE(rows.trimmed(), QByteArray("13700000003|a&b#c+d e%|1"));
    // The passwords are their user's alone; installed, in a data folder of the user's alone.
    QCOMPARE(ownerAndMode(db), user + " 600");
    if (s.app().installed())
        QCOMPARE(ownerAndMode(QFileInfo(db).path()), user + " 700");

    // The tool docks at the bottom-right corner of the screen...
    const QString tool = desktop.waitForWindow(E2eSession::ToolTitle);
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    QCOMPARE(desktop.geometry(tool),
             QRect(E2eSession::ScreenWidth - 160, E2eSession::ScreenHeight - 74, 160, 74));
    // ...and covers no part of the main window.
    QVERIFY(!desktop.geometry(tool).intersects(desktop.geometry(main)));

    // It is the program beside Orvane or the package's, as the same user.
    const qint64 toolPid = desktop.windowPid(tool);
    QCOMPARE(QFileInfo(processFile(toolPid, "exe")).symLinkTarget(), s.app().toolProgram());
    QCOMPARE(ownerAndMode(processFile(toolPid)), user + " 555");

    // "closeMain" on the channel ends Orvane, and the tool with it.
    s.app().sendToOrvane("closeMain");
    QCOMPARE(s.waitForOrvaneExit(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 15000);
}

void TstE2e::qrCodeLogin()
{
    E2eSession &s = *m_session;
    const QString login = s.startOrvane();
    QVERIFY2(!login.isEmpty(), qPrintable(s.diagnostics()));
    // The code shown under the form is a real one, for this login's confirm page, and the one
    // kept in RCode.jpg (installed, in a cache folder of the user's alone).
    const QString rcode = s.app().path("RCode.jpg");
    const QString confirm = s.service().baseUrl() + "orvane/qrcode/confirm?ticket=";
    QTemporaryDir shots;
    const QString shot = shots.filePath("login.png");
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QString kept = scanQrCode(rcode);
                     return kept.startsWith(confirm)
                         && s.desktop().screenshot().copy(s.desktop().geometry(login)).save(shot)
                         && scanQrCode(shot) == kept;
                 },
                 20000),
             qPrintable(s.diagnostics()));
    if (s.app().installed())
        QCOMPARE(ownerAndMode(QFileInfo(rcode).path()), QString::number(s.app().uid()) + " 700");
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

// Before: every route below took the main window to the foreign site, whose requests carried
// the start page's address with the session token in it, and the ssh: link reached xdg-open.
void TstE2e::foreignSiteCannotTakeOver()
{
    E2eSession &s = *m_session;
    const QString main = s.passwordLogin();
    QVERIFY2(!main.isEmpty(), qPrintable(s.diagnostics()));
    // The attack page's frame tries to take the window over as soon as it loads.
    QVERIFY(clickColour(AttackTile));
    QVERIFY(s.foreign().waitForRequest("GET /frame 200"));
    // What the user clicked or submitted leaves for the browser, exactly as it was; scripts,
    // redirects and links to other programs are refused.
    const QString foreign = s.foreign().baseUrl();
    const QList<QPair<QRgb, QString>> routes{
        {PlainLink, "evil"},        {BlankLink, "evil"},     {RedirectLink, ""}, {ScriptButton, ""},
        {WindowOpenButton, "evil"}, {FormButton, "collect"}, {SshLink, ""},      {FileLink, ""},
        {JavaScriptLink, ""},       {ScriptClicksSsh, ""}};
    QStringList opened;
    for (const auto &route : routes) {
        QVERIFY2(clickColour(route.first), "the platform's page is gone");
        if (!route.second.isEmpty()) {
            opened << foreign + route.second;
            QVERIFY2(QTest::qWaitFor([&] { return s.app().openedUrls() == opened; }, 20000),
                     qPrintable(s.app().openedUrls().join(' ')));
        }
    }
    // The window still shows the platform's page, and nothing else left for the desktop.
    QVERIFY(!s.desktop().waitForColour(PlainLink, s.desktop().geometry(main)).isNull());
    QCOMPARE(s.app().openedUrls(), opened);
    QVERIFY(s.foreign().requests("GET /evil .*").isEmpty());
    // Nothing of the platform reached the site: neither an address of it nor the token.
    const QString seen = s.foreign().errorLines().join(QLatin1Char('\n'));
    QVERIFY2(!seen.contains(s.service().baseUrl()) && !seen.contains("token"), qPrintable(seen));
}

// A page written the way platforms are written today: QtWebEngine runs it, QtWebKit shows the
// page's own notice that it cannot.
void TstE2e::modernPage()
{
    E2eSession &s = *m_session;
    const QString main = s.passwordLogin();
    QVERIFY2(!main.isEmpty(), qPrintable(s.diagnostics()));
    QVERIFY(clickColour(ModernTile));
    const bool modern = qEnvironmentVariable("ORVANE_E2E_ENGINE") == QLatin1String("webengine");
    QVERIFY2(!s.desktop()
                  .waitForColour(modern ? ModernPassed : ModernFailed, s.desktop().geometry(main))
                  .isNull(),
             qPrintable(s.diagnostics()));
}

QTEST_GUILESS_MAIN(TstE2e)
#include "tst_e2e.moc"
