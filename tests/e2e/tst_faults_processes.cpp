// SPDX-License-Identifier: MIT
// The real programs under a private X display against the demo service: a flood of random
// datagrams at both ports, a main program killed outright, two copies started at once.
#include "common/companionchannel.h"
#include "tests/e2e/childprocess.h"
#include "tests/e2e/e2etestcase.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <signal.h>
#include <unistd.h>

namespace {

constexpr int Datagrams = 10000;
constexpr int MaxDatagram = 1400;
constexpr int WatchPeriodMs = 10000;         // OrvaneTool's look for Orvane
constexpr QRgb ClassDetailButton = 0x5b6bd6; // on the classroom page

// Bytes waiting in the receive queue of the UDP socket bound to 127.0.0.1:port; -1 if none.
qint64 udpQueued(int port)
{
    const QByteArray local = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line :
         TestSupport::readFile(QStringLiteral("/proc/net/udp")).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // The programs listen on every address.
        if (fields.size() > 4 && fields.at(1) == "00000000" + local)
            return fields.at(4).split(':').value(1).toLongLong(nullptr, 16);
    }
    return -1;
}

// From a socket that stays open: the programs look up whose it is once they read the datagram.
void send(QUdpSocket &from, const QByteArray &datagram, int port)
{
    from.writeDatagram(datagram, QHostAddress::LocalHost, quint16(port));
}

// Random datagrams of 0 to 1400 bytes, none of them a command word, in bursts the receiver's
// queue can take so that none is dropped unread. Gives how many were sent.
int flood(QUdpSocket &from, int port, quint32 seed)
{
    QRandomGenerator random(seed);
    int sent = 0;
    for (int i = 0; i < Datagrams; ++i) {
        QByteArray datagram(random.bounded(MaxDatagram + 1), '\0');
        for (char &c : datagram)
            c = char(random.bounded(256));
        if (CompanionChannel::commandOf(CompanionChannel::decodeDatagram(datagram))
            != CompanionChannel::Command::None)
            continue;
        send(from, datagram, port);
        ++sent;
        if (i % 64 == 63 && !QTest::qWaitFor([&] { return udpQueued(port) == 0; }, 30000))
            return -1;
    }
    return sent;
}

// The processor time process pid has used so far, in ms.
qint64 cpuMs(qint64 pid)
{
    const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    // utime and stime, the 14th and 15th fields; the command name before them may hold spaces.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12
        ? (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000 / ::sysconf(_SC_CLK_TCK)
        : -1;
}

// Orvane's answer to a "showMain" from socket, read as it comes.
bool waitForShown(QUdpSocket &socket, int timeoutMs)
{
    return QTest::qWaitFor([&] { return socket.hasPendingDatagrams(); }, timeoutMs)
        && socket.receiveDatagram().data() == "shown";
}

// Runs otheruser.py as nobody until it prints ready.
bool asOtherUser(ChildProcess &helper, const QStringList &args, const QString &ready)
{
    const QStringList nobody{"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/python3",
                             QStringLiteral(ORVANE_E2E_DIR "/otheruser.py")};
    return helper.start(QStringLiteral("setpriv"), nobody + args,
                        QRegularExpression(QLatin1Char('^') + ready + QLatin1Char('$')));
}

} // namespace

class TstFaultsProcesses : public E2eTestCase
{
    Q_OBJECT

private slots:
    void floodOfRandomDatagrams();
    void hiddenToolEndsWhenOrvaneIsKilled_data();
    void hiddenToolEndsWhenOrvaneIsKilled();
    void twoStartsAtOnce();
    void channelNotForgedByAnotherUser_data();
    void channelNotForgedByAnotherUser();
    void ownCommandDuringForeignFlood();
    void portsHeldByAnotherUser();

private:
    QUdpSocket m_sender;
};

void TstFaultsProcesses::floodOfRandomDatagrams()
{
    E2eSession &s = *m_session;
    const QString main = s.passwordLogin();
    QVERIFY2(!main.isEmpty(), qPrintable(s.diagnostics()));
    const QString tool = s.desktop().waitForWindow(E2eSession::ToolTitle);
    QVERIFY2(!tool.isEmpty(), qPrintable(s.diagnostics()));
    // The classroom page first, shown in full: before, its memory counted as the flood's.
    send(m_sender, "directClassroom", s.app().mainPort());
    QVERIFY2(s.service().waitForRequest("GET /orvane/index\\?menuId=4&tag=2 200", 60000),
             qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().waitForColour(ClassDetailButton, s.desktop().geometry(main)).isNull());
    const qint64 pids[] = {s.orvane()->processId(), s.desktop().windowPid(tool)};
    const qint64 before[] = {TestSupport::residentKiB(pids[0]), TestSupport::residentKiB(pids[1])};

    QCOMPARE(flood(m_sender, s.app().mainPort(), 1), Datagrams);
    QCOMPARE(flood(m_sender, s.app().toolPort(), 2), Datagrams);
    // Datagrams are handled in order: once these are, the floods before them are too. Orvane
    // answers a "showMain" from anyone but its tool.
    send(m_sender, "showMain", s.app().mainPort());
    send(m_sender, "hideTool", s.app().toolPort());
    QVERIFY(waitForShown(m_sender, 60000));
    // The tool logs each datagram quoted, where Orvane logs.
    QVERIFY(QTest::qWaitFor([&] { return s.app().logs().contains("\n\"hideTool\"\n"); }, 60000));
    for (int i = 0; i < 2; ++i) {
        const qint64 growth = TestSupport::residentKiB(pids[i]) - before[i];
        qInfo("resident size of %s grew by %lld KiB", i ? "OrvaneTool" : "Orvane", growth);
#ifndef __SANITIZE_ADDRESS__
        // Before, Orvane kept all its tool wrote, unread: here some 40 MB. Under AddressSanitizer
        // freed memory waits in quarantine, so the size says nothing there.
        QVERIFY(growth < 16 * 1024);
#endif
    }
    QVERIFY(s.desktop().waitForNoWindow(E2eSession::ToolTitle));

    // Orvane still quits on its command, taking its tool along.
    send(m_sender, "closeMain", s.app().mainPort());
    QCOMPARE(s.waitForOrvaneExit(), 0);
}

void TstFaultsProcesses::hiddenToolEndsWhenOrvaneIsKilled_data()
{
    QTest::addColumn<bool>("anotherOrvane"); // a process of the user's named Orvane runs on
    // Before: a hidden tool window outlived Orvane, since accepting it only ended a modal run
    // that was already over.
    QTest::newRow("alone") << false;
    // Before: the tool looked for any Orvane, so a killed one's tool stayed beside the next.
    QTest::newRow("another-orvane-runs") << true;
}

void TstFaultsProcesses::hiddenToolEndsWhenOrvaneIsKilled()
{
    QFETCH(bool, anotherOrvane);
    E2eSession &s = *m_session;
    QTemporaryDir other;
    QProcess standIn; // /bin/sleep by the name
    if (anotherOrvane) {
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), other.filePath("Orvane")));
        standIn.start(other.filePath("Orvane"), {QStringLiteral("600")});
        QVERIFY(standIn.waitForStarted());
    }
    QVERIFY2(!s.passwordLogin().isEmpty(), qPrintable(s.diagnostics()));
    const QString tool = s.desktop().waitForWindow(E2eSession::ToolTitle);
    const qint64 toolPid = s.desktop().windowPid(tool);
    QVERIFY2(toolPid > 0, qPrintable(s.diagnostics()));
    send(m_sender, "hideTool", s.app().toolPort());
    QVERIFY(s.desktop().waitForNoWindow(E2eSession::ToolTitle));

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(::kill(pid_t(s.orvane()->processId()), SIGKILL), 0);
    QVERIFY(s.orvane()->waitForFinished(10000));
    // One watch period, and as much again for a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(toolPid), 2 * WatchPeriodMs + 5000);
    qInfo("OrvaneTool ended %lld ms after Orvane was killed", clock.elapsed());
    standIn.kill();
    standIn.waitForFinished();
}

void TstFaultsProcesses::twoStartsAtOnce()
{
    E2eSession &s = *m_session;
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
    QVERIFY(!s.desktop().waitForWindow(E2eSession::LoginTitle).isEmpty());
    const QByteArray windows = s.desktop().run(
        "xdotool", {"search", "--onlyvisible", "--name", "^" + E2eSession::LoginTitle + "$"});
    QCOMPARE(windows.trimmed().split('\n').size(), 1);
    QCOMPARE(s.desktop().windowPid(QString::fromLatin1(windows.trimmed())), running->processId());
    running->kill();
    running->waitForFinished(5000);
}

// Another local user binds the peer's port on 127.0.0.2 and sends as if from 127.0.0.1 there
// (IP_PKTINFO), each time right after making the receiver read its socket table, keeping its
// socket or closing it at once.
void TstFaultsProcesses::channelNotForgedByAnotherUser_data()
{
    QTest::addColumn<QString>("mode");
    // Before: obeyed 3 times of 3, the window closed, the classroom loaded, the tool hidden.
    QTest::newRow("socket-kept") << "spoof";
    // Before the channel took its ports on every address: obeyed, the socket table showing
    // only the program's own socket by the time it was read.
    QTest::newRow("socket-closed-at-once") << "spoof-close";
}

void TstFaultsProcesses::channelNotForgedByAnotherUser()
{
    QFETCH(QString, mode);
    if (::geteuid() != 0)
        QSKIP("only root runs a program as another user here");
    E2eSession &s = *m_session;
    QVERIFY2(!s.passwordLogin().isEmpty(), qPrintable(s.diagnostics()));
    QVERIFY(!s.desktop().waitForWindow(E2eSession::ToolTitle).isEmpty());
    const QString main = QString::number(s.app().mainPort());
    const QString tool = QString::number(s.app().toolPort());
    ChildProcess toMain;
    ChildProcess toTool;
    QVERIFY2(asOtherUser(toMain, {mode, tool, main, "directClassroom", "closeMain", "closeMain"},
                         "sent \\d"),
             qPrintable(toMain.error()));
    QVERIFY2(
        asOtherUser(toTool, {mode, main, tool, "hideTool", "hideTool", "hideTool"}, "sent \\d"),
        qPrintable(toTool.error()));
    // In order: once Orvane answers this, it has judged anything forged that reached it.
    send(m_sender, "showMain", s.app().mainPort());
    QVERIFY2(waitForShown(m_sender, 10000), qPrintable(s.diagnostics()));
    QVERIFY(s.service().requests("GET /orvane/index\\?menuId=4.*").isEmpty());
    QCOMPARE(s.orvane()->state(), QProcess::Running);
    QVERIFY(!s.desktop().visibleWindow(E2eSession::ToolTitle).isEmpty());
}

void TstFaultsProcesses::ownCommandDuringForeignFlood()
{
    if (::geteuid() != 0)
        QSKIP("only root runs a program as another user here");
    E2eSession &s = *m_session;
    QVERIFY2(!s.passwordLogin().isEmpty(), qPrintable(s.diagnostics()));
    ChildProcess flood;
    QVERIFY2(asOtherUser(flood, {"flood", "10000", QString::number(s.app().mainPort()), "500"},
                         "flooding"),
             qPrintable(flood.error()));
    // Before: each datagram read the whole socket table (some 80 ms with these 10,000
    // sockets), so Orvane fell behind and this user's commands came late or were lost.
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer answered;
        answered.start();
        send(m_sender, "showMain", s.app().mainPort());
        QVERIFY2(waitForShown(m_sender, 5000), qPrintable(s.diagnostics()));
        qInfo("answered during the flood in %lld ms", answered.elapsed());
        QVERIFY(answered.elapsed() < 1000);
    }
    // The table is read at most every 100 ms, however many datagrams come: a bounded share of
    // the processor (a few percent here, where reading it for each burst took most of a core).
    // Measured over two seconds of the flood, which the sender counts.
    const qint64 pid = s.orvane()->processId();
    const qint64 cpuBefore = cpuMs(pid);
    QElapsedTimer during;
    during.start();
    const int seconds = flood.errorLines().size();
    QTRY_VERIFY(flood.errorLines().size() >= seconds + 2);
    const qint64 share = (cpuMs(pid) - cpuBefore) * 100 / during.elapsed();
    qInfo("Orvane used %lld %% of a processor during the flood", share);
    QVERIFY(share < 40);
}

// Before: with another user's Orvane on the configured ports, neither program of this user
// could listen, and the tool's button did nothing.
void TstFaultsProcesses::portsHeldByAnotherUser()
{
    if (::geteuid() != 0)
        QSKIP("only root runs a program as another user here");
    E2eSession &s = *m_session;
    Desktop &desktop = s.desktop();
    ChildProcess holder;
    QVERIFY2(asOtherUser(
                 holder,
                 {"hold", QString::number(s.app().toolPort()), QString::number(s.app().mainPort())},
                 "held"),
             qPrintable(holder.error()));
    QVERIFY2(!s.startTray().isEmpty(), "trayer did not start");
    const QString main = s.passwordLogin();
    QVERIFY2(!main.isEmpty(), qPrintable(s.diagnostics()));
    const QString tool = desktop.waitForWindow(E2eSession::ToolTitle);
    QVERIFY(desktop.click(tool, QPoint(120, 37))); // the tool's classroom part
    QVERIFY2(s.service().waitForRequest("GET /orvane/index\\?menuId=4&tag=2 200"),
             qPrintable(s.diagnostics()));
    // A second start finds this copy on its own ports: the window hidden to the tray returns.
    QVERIFY(desktop.click(main, QPoint(desktop.geometry(main).width() - 21, 16)));
    QVERIFY(desktop.waitForNoWindow(E2eSession::MainTitle));
    QScopedPointer<QProcess> second(s.app().startOrvane("second.log"));
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(!desktop.waitForWindow(E2eSession::MainTitle).isEmpty(), qPrintable(s.diagnostics()));
}

QTEST_GUILESS_MAIN(TstFaultsProcesses)
#include "tst_faults_processes.moc"
