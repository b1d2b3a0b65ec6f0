// SPDX-License-Identifier: MIT
// The floating tool from the outside: its classroom button and its menu drive Orvane.
#include "tests/e2e/e2etestcase.h"

#include <QRegularExpression>
#include <QTest>

namespace {

QRegularExpression line(const QString &pattern)
{
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

const QString ClassroomRequest = QStringLiteral("GET /orvane/index\\?menuId=4&tag=2 200");
const QString StartPageRequest = QStringLiteral("GET /orvane/main\\?token=[0-9a-f]{32} 200");

// On the 160 x 74 tool: its right part (x >= 68) opens the classroom, its left part is the
// handle with the menu.
constexpr QPoint ClassroomButton{120, 37};
constexpr QPoint Handle{30, 37};

// The start page's "德育管理" tile: a link into another system of the platform.
constexpr QRgb SubsystemTile = 0xd93025;

} // namespace

class tst_E2eTool : public E2eTestCase
{
    Q_OBJECT

private slots:
    void classroomButtonOpensTheClassroom();
    void afterASubsystemLinkTheButtonOpensTheStartPage();
    void quitFromTheToolMenu();

private:
    // Logs in and gives the tool window's id.
    QString loginAndFindTool();
};

QString tst_E2eTool::loginAndFindTool()
{
    E2eSession &s = *m_session;
    if (s.passwordLogin(QStringLiteral("13800000001"), QStringLiteral("demo123")).isEmpty() ||
        !s.service().waitForRequest(line(StartPageRequest)))
        return QString();
    return s.desktop().waitForWindow(E2eSession::ToolTitle);
}

void tst_E2eTool::classroomButtonOpensTheClassroom()
{
    E2eSession &s = *m_session;
    const QString tool = loginAndFindTool();
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests(line(ClassroomRequest)).isEmpty());

    QVERIFY(s.desktop().click(tool, ClassroomButton));
    QVERIFY2(s.service().waitForRequest(line(ClassroomRequest)), qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().visibleWindow(E2eSession::MainTitle).isEmpty());
}

void tst_E2eTool::afterASubsystemLinkTheButtonOpensTheStartPage()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    const QString tool = loginAndFindTool();
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    const QString main = desktop.visibleWindow(E2eSession::MainTitle);

    const QRect tile = desktop.waitForColour(SubsystemTile, desktop.geometry(main));
    QVERIFY2(!tile.isNull(), "the start page shows no 德育管理 tile");
    QVERIFY(desktop.clickAt(tile.center()));
    QVERIFY2(s.service().waitForRequest(
                 line(QStringLiteral("GET /dede/dedeLogin\\?token=[0-9a-f]{32} 200"))),
             qPrintable(s.diagnostics()));

    // Coming from another system, the button leads home first...
    QVERIFY(desktop.click(tool, ClassroomButton));
    QVERIFY2(QTest::qWaitFor(
                 [&] { return s.service().requests(line(StartPageRequest)).size() == 2; }, 20000),
             qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests(line(ClassroomRequest)).isEmpty());

    // ...and the next press to the classroom.
    QVERIFY(desktop.click(tool, ClassroomButton));
    QVERIFY2(s.service().waitForRequest(line(ClassroomRequest)), qPrintable(s.diagnostics()));
}

void tst_E2eTool::quitFromTheToolMenu()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    const QString tool = loginAndFindTool();
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    const qint64 toolPid = desktop.windowPid(tool);
    QVERIFY(toolPid > 0);

    QVERIFY(desktop.click(tool, Handle, 3));
    QString menu;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QStringList windows = desktop.visibleWindowsOf(toolPid);
            for (const QString &window : windows) {
                if (window != tool)
                    menu = window;
            }
            return !menu.isEmpty();
        },
        20000));
    // Three rows: "开启/关闭悬浮标", "显示窗口", "退出"; the last is the lowest sixth's centre.
    const QRect menuRect = desktop.geometry(menu);
    QVERIFY(menuRect.height() >= 3 * 16);
    QVERIFY(desktop.click(menu, QPoint(menuRect.width() / 2, menuRect.height() * 5 / 6)));

    QCOMPARE(s.waitForOrvaneExit(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 15000);
    QVERIFY(desktop.waitForNoWindow(E2eSession::ToolTitle));
}

QTEST_GUILESS_MAIN(tst_E2eTool)
#include "tst_e2e_tool.moc"
