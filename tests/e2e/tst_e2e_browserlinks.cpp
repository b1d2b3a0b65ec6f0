// SPDX-License-Identifier: MIT
// Links of the platform's pages from the outside: exports, imports and the attendance form
// go to the desktop browser (an xdg-open that records its argument), the rest stays in the
// view.
#include "tests/e2e/e2etestcase.h"

#include <QRegularExpression>
#include <QTest>

namespace {

QRegularExpression line(const QString &pattern)
{
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

// The demo pages' tiles and buttons, by the colour a person sees.
constexpr QRgb ClassroomTile = 0x2b7de9;
constexpr QRgb ExportStudentsTile = 0xe8710a;
constexpr QRgb ImportTeachersTile = 0x0f9d58;
constexpr QRgb ImportStudentsTile = 0x12a4a4;
constexpr QRgb SalaryTemplateTile = 0x8e44ad;
constexpr QRgb ClassDetailButton = 0x5b6bd6;
constexpr QRgb AttendanceExportButton = 0x2e9e6b;

} // namespace

class tst_E2eBrowserLinks : public E2eTestCase
{
    Q_OBJECT

private slots:
    void exportLinkOpensTheBrowserAndTheViewStays();
    void importAndTemplateLinksOpenTheBrowser();
    void attendanceFormAndNewWindowLink();

private:
    // Logs in; the main window's area on the screen.
    QRect login();
    // Clicks the first thing of that colour in the main window.
    bool clickColour(QRgb colour);
    bool waitForOpened(const QString &url);

    QRect m_main;
};

QRect tst_E2eBrowserLinks::login()
{
    E2eSession &s = *m_session;
    const QString main = s.passwordLogin(QStringLiteral("13800000001"), QStringLiteral("demo123"));
    if (main.isEmpty())
        return QRect();
    m_main = s.desktop().geometry(main);
    return m_main;
}

bool tst_E2eBrowserLinks::clickColour(QRgb colour)
{
    const QRect region = m_session->desktop().waitForColour(colour, m_main);
    return !region.isNull() && m_session->desktop().clickAt(region.center());
}

bool tst_E2eBrowserLinks::waitForOpened(const QString &url)
{
    return QTest::qWaitFor([&] { return m_session->app().openedUrls().contains(url); }, 20000);
}

void tst_E2eBrowserLinks::exportLinkOpensTheBrowserAndTheViewStays()
{
    E2eSession &s = *m_session;
    QVERIFY2(!login().isNull(), qPrintable(s.diagnostics()));
    const QString base = s.service().baseUrl();

    QVERIFY(clickColour(ExportStudentsTile));
    QVERIFY(
        waitForOpened(base + QStringLiteral("exam/exportStudent.action?classId=301&format=csv")));

    // The start page is still shown, and still works: its classroom tile loads in the view.
    QVERIFY(!Desktop::colourRegion(s.desktop().screenshot(), ExportStudentsTile, m_main).isNull());
    QVERIFY(clickColour(ClassroomTile));
    QVERIFY2(
        s.service().waitForRequest(line(QStringLiteral("GET /orvane/index\\?menuId=4&tag=2 200"))),
        qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests(line(QStringLiteral(".* /exam/exportStudent.*"))).isEmpty());
    QCOMPARE(s.app().openedUrls().size(), 1);
}

void tst_E2eBrowserLinks::importAndTemplateLinksOpenTheBrowser()
{
    E2eSession &s = *m_session;
    QVERIFY2(!login().isNull(), qPrintable(s.diagnostics()));
    const QString base = s.service().baseUrl();

    QVERIFY(clickColour(ImportTeachersTile));
    QVERIFY(waitForOpened(base + QStringLiteral("orvane/user/import/teacher")));
    QVERIFY(clickColour(ImportStudentsTile));
    QVERIFY(waitForOpened(base + QStringLiteral("orvane/user/import/student")));
    QVERIFY(clickColour(SalaryTemplateTile));
    QVERIFY(waitForOpened(base + QStringLiteral("orvane/oa/salary/exportSalaryTemplate")));

    QCOMPARE(s.app().openedUrls().size(), 3);
    QVERIFY(s.service().requests(line(QStringLiteral(".* /orvane/(user|oa)/.*"))).isEmpty());
}

void tst_E2eBrowserLinks::attendanceFormAndNewWindowLink()
{
    E2eSession &s = *m_session;
    QVERIFY2(!login().isNull(), qPrintable(s.diagnostics()));
    const QString base = s.service().baseUrl();

    QVERIFY(clickColour(ClassroomTile));
    QVERIFY2(
        s.service().waitForRequest(line(QStringLiteral("GET /orvane/index\\?menuId=4&tag=2 200"))),
        qPrintable(s.diagnostics()));
    // The classroom page is on screen once its buttons are.
    QVERIFY(!s.desktop().waitForColour(ClassDetailButton, m_main).isNull());

    // The attendance form is submitted to the browser, not to the view.
    QVERIFY(clickColour(AttendanceExportButton));
    QVERIFY(waitForOpened(base + QStringLiteral("orvane/attendance/classAttendanceListExport")));

    // "课堂详情" asks for a new window; it opens in the same view.
    QVERIFY(clickColour(ClassDetailButton));
    QVERIFY2(s.service().waitForRequest(
                 line(QStringLiteral("GET /orvane/classroom/detail\\?classId=301 200"))),
             qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests(line(QStringLiteral(".*classAttendanceListExport.*"))).isEmpty());
    const QByteArray mains = s.desktop().run(
        QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QStringLiteral("^Orvane-")});
    QCOMPARE(mains.trimmed().split('\n').size(), 2); // the main window and the tool
}

QTEST_GUILESS_MAIN(tst_E2eBrowserLinks)
#include "tst_e2e_browserlinks.moc"
