// SPDX-License-Identifier: MIT
// The real programs under a private X display against the demo service: a flood of random
// datagrams at both ports, a main program killed outright, two copies started at once.
#include "app/companionchannel.h"
#include "tests/e2e/e2etestcase.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <signal.h>

namespace {

constexpr int Datagrams = 10000;
constexpr int MaxDatagram = 1400;
constexpr int WatchPeriodMs = 10000; // OrvaneTool's look for Orvane

const QRegularExpression
    ClassroomRequest(QStringLiteral("^GET /orvane/index\\?menuId=4&tag=2 200$"));

// Bytes waiting in the receive queue of the UDP socket bound to 127.0.0.1:port; -1 if none.
qint64 udpQueued(int port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && fields.at(1) == local)
            return fields.at(4).split(':').value(1).toLongLong(nullptr, 16);
    }
    return -1;
}

int freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

// Random datagrams of 0 to 1400 bytes, none of them a command word; or, stray, all of
// 1400 bytes that are no UTF-8, which OrvaneTool logs as 4 KiB of replacement characters.
int flood(int port, quint32 seed, bool stray = false)
{
    QRandomGenerator random(seed);
    QUdpSocket socket;
    int sent = 0;
    for (int i = 0; i < Datagrams; ++i) {
        QByteArray datagram(stray ? MaxDatagram : random.bounded(MaxDatagram + 1), '\xff');
        for (char &c : datagram)
            c = stray ? c : char(random.bounded(256));
        const QString command = CompanionChannel::decodeDatagram(datagram);
        if (command == QLatin1String("closeMain") || command == QLatin1String("showMain")
            || command == QLatin1String("directClassroom"))
            continue;
        if (socket.writeDatagram(datagram, QHostAddress::LocalHost, quint16(port))
            == datagram.size())
            ++sent;
        // In bursts the receiver's queue can take, so that none is dropped unread.
        if (i % 64 == 63 && !QTest::qWaitFor([&] { return udpQueued(port) == 0; }, 30000))
            return -1;
    }
    return sent;
}

void send(const QByteArray &command, int port)
{
    QUdpSocket socket;
    socket.writeDatagram(command, QHostAddress::LocalHost, quint16(port));
}

} // namespace

class TstFaultsProcesses : public E2eTestCase
{
    Q_OBJECT

private slots:
    void floodOfRandomDatagrams();
    void toolEndsWhenOrvaneIsKilled();
    void twoStartsAtOnce();

private:
    // Logs in; the tool window's id.
    QString loginAndFindTool();
};

QString TstFaultsProcesses::loginAndFindTool()
{
    E2eSession &s = *m_session;
    if (s.passwordLogin(QStringLiteral("13800000001"), QStringLiteral("demo123")).isEmpty())
        return QString();
    return s.desktop().waitForWindow(E2eSession::ToolTitle);
}

void TstFaultsProcesses::floodOfRandomDatagrams()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    QVERIFY2(!loginAndFindTool().isEmpty(), qPrintable(s.diagnostics()));
    const qint64 orvanePid = s.orvane()->processId();
    const int mainPort = s.app().mainPort();

    // A second OrvaneTool of its own on this display, whose log tells when it has handled
    // everything sent before a marker. It stays while the Orvane above runs.
    QTemporaryDir toolDir;
    const int toolPort = freeUdpPort();
    QVERIFY(toolPort > 0);
    QVERIFY(QFile::copy(TestSupport::program(QStringLiteral("OrvaneTool")),
                        toolDir.filePath(QStringLiteral("OrvaneTool"))));
    QVERIFY(TestSupport::writeFile(toolDir.filePath(QStringLiteral("conf.ini")),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(toolPort)
                                       .arg(freeUdpPort())
                                       .toUtf8()));
    QProcess tool;
    tool.setProcessEnvironment(s.app().environment());
    tool.start(toolDir.filePath(QStringLiteral("OrvaneTool")), QStringList());
    QVERIFY(tool.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return !desktop.visibleWindowsOf(tool.processId()).isEmpty(); },
                            30000));
    QByteArray toolLog;
    const auto toolLogged = [&](const QByteArray &line) {
        return QTest::qWaitFor(
            [&] {
                toolLog += tool.readAllStandardError();
                return toolLog.contains(line);
            },
            60000);
    };

    const qint64 orvaneBefore = TestSupport::residentKiB(orvanePid);
    const qint64 toolBefore = TestSupport::residentKiB(tool.processId());
    const int sentToMain = flood(mainPort, 1);
    const int sentToTool = flood(toolPort, 2);
    // Orvane's own tool logs where Orvane does.
    const int sentToOwnTool = flood(s.app().toolPort(), 3, true);
    send("directClassroom", mainPort);
    send("hideTool", toolPort);
    send("hideTool", s.app().toolPort());
    // Datagrams are handled in order: when these are, the floods before them are.
    QVERIFY2(s.service().waitForRequest(ClassroomRequest, 60000), qPrintable(s.diagnostics()));
    QVERIFY(toolLogged("\n\"hideTool\"\n"));
    QVERIFY(QTest::qWaitFor([&] { return s.app().logs().contains("\n\"hideTool\"\n"); }, 60000));
    const qint64 orvaneAfter = TestSupport::residentKiB(orvanePid);
    const qint64 toolAfter = TestSupport::residentKiB(tool.processId());
    qInfo("sent %d datagrams to Orvane, %d to an OrvaneTool, %d to Orvane's own", sentToMain,
          sentToTool, sentToOwnTool);
    qInfo("resident KiB: Orvane %lld -> %lld, OrvaneTool %lld -> %lld", orvaneBefore, orvaneAfter,
          toolBefore, toolAfter);
    QCOMPARE(sentToMain, Datagrams);
    QCOMPARE(sentToTool, Datagrams);
    QCOMPARE(sentToOwnTool, Datagrams);
    QCOMPARE(tool.state(), QProcess::Running);
    // Before, Orvane kept all its tool wrote, unread: here some 40 MB.
    QVERIFY2(orvaneAfter - orvaneBefore < 16 * 1024, "Orvane grew with the datagrams");
    QVERIFY2(toolAfter - toolBefore < 16 * 1024, "OrvaneTool grew with the datagrams");

    // The tool still toggles on a datagram...
    const bool shown = !desktop.visibleWindowsOf(tool.processId()).isEmpty();
    send("showTool", toolPort);
    QVERIFY(toolLogged("\n\"showTool\"\n"));
    QVERIFY(QTest::qWaitFor(
        [&] { return desktop.visibleWindowsOf(tool.processId()).isEmpty() == shown; }, 20000));
    tool.kill();
    tool.waitForFinished(5000);

    // ...and Orvane still quits on its command, taking its own tool along.
    send("closeMain", mainPort);
    QCOMPARE(s.waitForOrvaneExit(), 0);
}

void TstFaultsProcesses::toolEndsWhenOrvaneIsKilled()
{
    E2eSession &s = *m_session;
    const QString tool = loginAndFindTool();
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    const qint64 toolPid = s.desktop().windowPid(tool);
    QVERIFY(toolPid > 0);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(::kill(pid_t(s.orvane()->processId()), SIGKILL), 0);
    QVERIFY(s.orvane()->waitForFinished(10000));
    // One watch period, and as much again for a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 2 * WatchPeriodMs + 5000);
    qInfo("OrvaneTool ended %lld ms after Orvane was killed", clock.elapsed());
    QVERIFY(clock.elapsed() < 2 * WatchPeriodMs + 5000);
}

void TstFaultsProcesses::twoStartsAtOnce()
{
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    QScopedPointer<QProcess> first(s.app().startOrvane(QStringLiteral("first.log")));
    QScopedPointer<QProcess> second(s.app().startOrvane(QStringLiteral("second.log")));
    QVERIFY(first->waitForStarted(10000) && second->waitForStarted(10000));

    // One of them ends, at once and with 0; the other shows the one login window.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return first->state() == QProcess::NotRunning
                || second->state() == QProcess::NotRunning;
        },
        30000));
    QProcess *ended = first->state() == QProcess::NotRunning ? first.data() : second.data();
    QProcess *running = ended == first.data() ? second.data() : first.data();
    QCOMPARE(ended->exitStatus(), QProcess::NormalExit);
    QCOMPARE(ended->exitCode(), 0);
    QVERIFY(!desktop.waitForWindow(E2eSession::LoginTitle).isEmpty());
    const QStringList windows =
        QString::fromUtf8(
            desktop.run(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"),
                         QLatin1Char('^') + E2eSession::LoginTitle + QLatin1Char('$')}))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(windows.size(), 1);
    QCOMPARE(desktop.windowPid(windows.first()), running->processId());
    QCOMPARE(running->state(), QProcess::Running);
    running->kill();
    running->waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TstFaultsProcesses)
#include "tst_faults_processes.moc"
