// SPDX-License-Identifier: MIT
#include "platform/platform.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TstPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void findsRunningProcess_data();
    void findsRunningProcess();
    void endedProcessIsGone();
    void zombieDoesNotCount();
    void namesFollowTheSystem();

private:
    QString probeCopy(); // a copy of a small program under a name no other process has

    QTemporaryDir m_dir;
    QString m_name;
};

void TstPlatform::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Short enough to survive the kernel's 15-character command name.
    m_name = QStringLiteral("OrvProbe%1").arg(QRandomGenerator::global()->bounded(100000, 999999));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), m_dir.filePath(m_name)));
    QVERIFY(!Platform::isProcessRunning(m_name.toStdString()));
}

void TstPlatform::findsRunningProcess_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << m_name << true;
    QTest::newRow("lower-case") << m_name.toLower() << true;
    QTest::newRow("upper-case") << m_name.toUpper() << true;
    QTest::newRow("prefix-only") << m_name.left(m_name.size() - 1) << false;
    QTest::newRow("with-exe-suffix") << m_name + QStringLiteral(".exe") << false;
    QTest::newRow("absent") << QStringLiteral("NoSuchProgram7") << false;
    QTest::newRow("empty") << QString() << false;
}

void TstPlatform::findsRunningProcess()
{
    QFETCH(QString, query);
    QFETCH(bool, found);

    QProcess probe;
    probe.start(m_dir.filePath(m_name), {QStringLiteral("30")});
    QVERIFY(probe.waitForStarted());
    QCOMPARE(Platform::isProcessRunning(query.toStdString()), found);
    probe.kill();
    probe.waitForFinished();
}

void TstPlatform::endedProcessIsGone()
{
    QProcess probe;
    probe.start(m_dir.filePath(m_name), {QStringLiteral("30")});
    QVERIFY(probe.waitForStarted());
    QVERIFY(Platform::isProcessRunning(m_name.toStdString()));
    probe.kill();
    QVERIFY(probe.waitForFinished());
    QVERIFY(!Platform::isProcessRunning(m_name.toStdString()));
}

void TstPlatform::zombieDoesNotCount()
{
    const QByteArray path = QFile::encodeName(m_dir.filePath(m_name));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::execl(path.constData(), path.constData(), "30", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QTRY_VERIFY(Platform::isProcessRunning(m_name.toStdString()));
    ::kill(child, SIGKILL);
    // Not reaped yet: the kernel keeps it as a zombie.
    siginfo_t info{};
    QCOMPARE(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    QVERIFY(!Platform::isProcessRunning(m_name.toStdString()));
    ::waitpid(child, nullptr, 0);
}

void TstPlatform::namesFollowTheSystem()
{
    QCOMPARE(Platform::executableFileName("Orvane"), std::string("Orvane"));
    QCOMPARE(Platform::programPath("/opt/orvane", "OrvaneTool"), std::string("/opt/orvane/OrvaneTool"));
}

QTEST_GUILESS_MAIN(TstPlatform)
#include "tst_platform.moc"
