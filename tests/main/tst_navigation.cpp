// SPDX-License-Identifier: MIT
#include "main/navigationpolicy.h"

#include <QTest>

using NavigationPolicy::Kind;

Q_DECLARE_METATYPE(NavigationPolicy::Kind)

class TstNavigation : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
};

namespace {
const QString Base = QStringLiteral("http://school.test:8080/");
}

void TstNavigation::decide_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("mainFrame");
    QTest::addColumn<bool>("outside");
    QTest::addColumn<int>("flag"); // -1: left alone, 0/1: the new subsystem-login flag
    QTest::addColumn<bool>("logged");

    const Kind link = Kind::LinkClicked;
    const Kind form = Kind::FormSubmitted;
    const Kind other = Kind::Other;
    const QString office =
        QStringLiteral("https://view.officeapps.live.com/op/view.aspx?src=x.docx");

    QTest::newRow("plain-link") << Base + "orvane/index" << link << true << false << 0 << false;
    QTest::newRow("link-in-subframe-logged")
        << Base + "orvane/index" << link << false << false << 0 << true;
    QTest::newRow("dedeLogin-sets-flag")
        << Base + "dedeLogin?to=exam" << link << true << false << 1 << false;
    QTest::newRow("zariLogin-sets-flag")
        << "http://zari.test/zariLogin" << link << true << false << 1 << false;
    QTest::newRow("flag-case-sensitive")
        << Base + "DedeLogin" << link << true << false << 0 << false;
    QTest::newRow("office-viewer") << office << link << true << true << 0 << false;
    QTest::newRow("notice-upload")
        << Base + "upload/notice/a.pdf" << link << true << true << 0 << false;
    QTest::newRow("notice-upload-in-query")
        << Base + "x?file=upload/notice" << link << true << true << 0 << false;
    QTest::newRow("notice-upload-upper-case")
        << Base + "UPLOAD/NOTICE/a.pdf" << link << true << false << 0 << false;
    QTest::newRow("student-export")
        << Base + "exam/exportStudent.action?id=3" << link << true << true << 0 << false;
    QTest::newRow("student-export-no-query")
        << Base + "exam/exportStudent.action" << link << true << false << 0 << false;
    QTest::newRow("import-teacher")
        << Base + "orvane/user/import/teacher" << link << true << true << 0 << false;
    QTest::newRow("import-student")
        << Base + "orvane/user/import/student" << link << true << true << 0 << false;
    QTest::newRow("salary-template")
        << Base + "orvane/oa/salary/exportSalaryTemplate" << link << true << true << 0 << false;
    QTest::newRow("import-with-query-stays")
        << Base + "orvane/user/import/teacher?x=1" << link << true << false << 0 << false;
    QTest::newRow("import-other-base-stays")
        << "http://other.test/orvane/user/import/teacher" << link << true << false << 0 << false;
    QTest::newRow("subsystem-link-to-upload")
        << Base + "dedeLogin/upload/notice" << link << true << true << 1 << false;
    QTest::newRow("form-attendance-export")
        << Base + "a/classAttendanceListExport" << form << true << true << -1 << true;
    QTest::newRow("form-student-export-stays")
        << Base + "exam/exportStudent.action?id=3" << form << true << false << -1 << true;
    QTest::newRow("form-notice-upload-stays")
        << Base + "upload/notice" << form << true << false << -1 << true;
    QTest::newRow("script-notice-upload-stays")
        << Base + "upload/notice/a.pdf" << other << true << false << -1 << false;
    QTest::newRow("script-dedeLogin-keeps-flag")
        << Base + "dedeLogin" << other << true << false << -1 << false;
}

void TstNavigation::decide()
{
    QFETCH(QString, url);
    QFETCH(Kind, kind);
    QFETCH(bool, mainFrame);
    QFETCH(bool, outside);
    QFETCH(int, flag);
    QFETCH(bool, logged);

    const NavigationPolicy::Decision d = NavigationPolicy::decide(url, kind, mainFrame, Base);
    QCOMPARE(d.openOutside, outside);
    QCOMPARE(d.setsSubSystemLogin, flag != -1);
    if (flag != -1)
        QCOMPARE(d.subSystemLogin, flag == 1);
    QCOMPARE(d.logUrl, logged);
}

QTEST_GUILESS_MAIN(TstNavigation)
#include "tst_navigation.moc"
