// SPDX-License-Identifier: MIT
#include "login/logindialogcomboxlistitem.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TstLoginDialogComboxListItem : public QObject
{
    Q_OBJECT

private slots:
    void click_data();
    void click();
    void deleteButtonReportsOnlyDeletion();
    void reportsTheCurrentText();
};

namespace {

void enter(QWidget *w)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))));
    QCoreApplication::sendEvent(w, &event);
}

void leave(QWidget *w)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(w, &event);
}

} // namespace

void TstLoginDialogComboxListItem::click_data()
{
    QTest::addColumn<int>("buttonValue");
    QTest::addColumn<bool>("leaveBeforeRelease");
    QTest::addColumn<int>("shows");

    QTest::newRow("left") << int(Qt::LeftButton) << false << 1;
    QTest::newRow("right") << int(Qt::RightButton) << false << 0;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false << 0;
    QTest::newRow("left-then-leave") << int(Qt::LeftButton) << true << 0;
}

void TstLoginDialogComboxListItem::click()
{
    QFETCH(int, buttonValue);
    const auto button = Qt::MouseButton(buttonValue);
    QFETCH(bool, leaveBeforeRelease);
    QFETCH(int, shows);

    LoginDialogComboxListItem row;
    row.setText(QStringLiteral("13800000001"));
    row.resize(295, 40);
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    QSignalSpy showSpy(&row, &LoginDialogComboxListItem::ShowUser);
    QSignalSpy deleteSpy(&row, &LoginDialogComboxListItem::DeleteUser);

    enter(&row);
    QTest::mousePress(&row, button, Qt::NoModifier, QPoint(30, 20));
    if (leaveBeforeRelease)
        leave(&row);
    QTest::mouseRelease(&row, button, Qt::NoModifier, QPoint(30, 20));

    QCOMPARE(showSpy.count(), shows);
    if (shows)
        QCOMPARE(showSpy.first().first().toString(), QStringLiteral("13800000001"));
    QCOMPARE(deleteSpy.count(), 0);

    // A press that did not complete leaves nothing behind: the next full click counts once.
    enter(&row);
    QTest::mouseClick(&row, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
    QCOMPARE(showSpy.count(), shows + 1);
}

void TstLoginDialogComboxListItem::deleteButtonReportsOnlyDeletion()
{
    LoginDialogComboxListItem row;
    row.setText(QStringLiteral("teacher"));
    row.resize(295, 40);
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    QSignalSpy showSpy(&row, &LoginDialogComboxListItem::ShowUser);
    QSignalSpy deleteSpy(&row, &LoginDialogComboxListItem::DeleteUser);

    auto *button = row.findChild<QPushButton *>(QStringLiteral("btnDelete"));
    QVERIFY(button);
    enter(&row);
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(deleteSpy.count(), 1);
    QCOMPARE(deleteSpy.first().first().toString(), QStringLiteral("teacher"));
    QCOMPARE(showSpy.count(), 0);
}

void TstLoginDialogComboxListItem::reportsTheCurrentText()
{
    LoginDialogComboxListItem row;
    row.setText(QStringLiteral("old"));
    row.setText(QStringLiteral("new"));
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    QSignalSpy showSpy(&row, &LoginDialogComboxListItem::ShowUser);
    enter(&row);
    QTest::mouseClick(&row, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(showSpy.count(), 1);
    QCOMPARE(showSpy.first().first().toString(), QStringLiteral("new"));
}

QTEST_MAIN(TstLoginDialogComboxListItem)
#include "tst_logindialogcomboxlistitem.moc"
