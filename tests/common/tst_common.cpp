// SPDX-License-Identifier: MIT
// The ground both programs share: conf.ini, the companion channel's datagrams, and the
// platform layer's process watch and single-instance guard.
#include "common/appconfig.h"
#include "common/apppaths.h"
#include "common/channelports.h"
#include "common/companionchannel.h"
#include "common/inifile.h"
#include "common/logsafe.h"
#include "common/privatefile.h"
#include "platform/platform.h"
#include "platform/procnetudp.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using CompanionChannel::Command;
using Platform::SocketOwner;
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(SocketOwner)

class TstCommon : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void config_data();
    void config();
    void configFilesKeyByKey();
    void layout_data();
    void layout();
    void datagrams_data();
    void datagrams();
    void channelKeepsOrder();
    void channelPorts_data();
    void channelPorts();
    void udpSocketOwner_data();
    void udpSocketOwner();
    void processWatch_data();
    void processWatch();
    void zombieIsNotRunning();
    void instanceGuard_data();
    void instanceGuard();
    void privateFiles_data();
    void privateFiles();
    void logLines_data();
    void logLines();

private:
    QTemporaryDir m_dir;
    QString m_probe; // a copy of sleep under a name no other process has
};

void TstCommon::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Short enough to survive the kernel's 15-character command name.
    m_probe = QStringLiteral("OrvProbe%1").arg(QRandomGenerator::global()->bounded(100000, 999999));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), m_dir.filePath(m_probe)));
    // Another user runs it too.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::permissions("/bin")));
}

void TstCommon::config_data()
{
    QTest::addColumn<QByteArray>("ini"); // null: no conf.ini at all
    QTest::addColumn<int>("toolPort");
    QTest::addColumn<int>("mainPort");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("logged"); // a debug line that must be written

    const int tool = AppConfig::DefaultToolPort;
    const int main = AppConfig::DefaultMainPort;
    const QString none;
    const QString url = QStringLiteral("http://127.0.0.1:28341/");
    const auto row = [](const char *name, const QByteArray &ini) {
        return &(QTest::newRow(name) << ini);
    };

    // Ordinary files, read as QSettings reads them.
    *row("no-file", QByteArray()) << tool << main << none << none;
    *row("other-keys", "[other]\nx=1\n") << tool << main << none << none;
    *row("both-ports", "[udpport]\nOrvaneToolPort=20001\nOrvanePort=20002\n")
        << 20001 << 20002 << none << none;
    *row("limits", "[udpport]\nOrvaneToolPort=65535\r\nOrvanePort = +1 ; one\r\n")
        << 65535 << 1 << none << none;
    *row("comments", ";[udpport]\n[udpport]\n; OrvanePort=1\n#OrvanePort=2\nOrvaneToolPort=3;4\n")
        << 3 << main << none << none;
    *row("key-case", "[udpport]\norvaneport=20002\n[UDPPORT]\nOrvanePort=20003\n")
        << tool << main << none << none;
    *row("escaped-names",
         "[%75dpport]\nOrvane%50ort=20004\n[General]\nudpport\\OrvaneToolPort=20005\n")
        << 20005 << 20004 << none << none;
    // Before: the mark hid the first group, so the ports fell back to their defaults.
    *row("byte-order-mark",
         "\xEF\xBB\xBF[udpport]\r\nOrvanePort=20002\r\n[other]\r\nname=\xE4\xB8\xAD\r\n")
        << tool << 20002 << none << none;
    // Before: every [%general] became "General/", where QSettings keeps the case written.
    *row("escaped-general", "[%general]\nOrvanePort=1\n[%GENERAL]\nx=2\n")
        << tool << main << none << none;
    *row("last-wins", "[udpport]\nOrvanePort=1\n[service]\n[udpport]\nOrvanePort=20006\n")
        << tool << 20006 << none << none;
    *row("quoted-url", "[service]\nbaseUrl = \"http://127.0.0.1:28341/;x\" \n")
        << tool << main << "http://127.0.0.1:28341/;x/" << none;
    *row("escaped-url", "[service]\nbaseUrl=\\x68ttp://127.0.0.1:28341\\\n/\n")
        << tool << main << url << none;
    *row("list", "[service]\nbaseUrl=http://a.test/,http://b.test/\n[udpport]\nOrvanePort=1,2\n")
        << tool << main << none << none;
    *row("letters", "[udpport]\nOrvaneToolPort=abc\nOrvanePort=12abc\n")
        << tool << main << none << "port";
    *row("zero-and-negative", "[udpport]\nOrvaneToolPort=0\nOrvanePort=-1\n")
        << tool << main << none << "port";
    // Before: cut to 16 bits, so 65536 became 0, a random port.
    *row("over-16-bits", "[udpport]\nOrvaneToolPort=65536\nOrvanePort=70000\n")
        << tool << main << none << "port";
    *row("url", "[service]\nbaseUrl=https://school.test:8080/app\n")
        << tool << main << "https://school.test:8080/app/" << none;
    *row("url-ftp", "[service]\nbaseUrl=ftp://school.test/\n") << tool << main << none << "baseUrl";
    *row("url-relative", "[service]\nbaseUrl=orvane/\n") << tool << main << none << "baseUrl";
    *row("url-no-host", "[service]\nbaseUrl=http:///x/\n") << tool << main << none << "baseUrl";
    // Before: paths went into the fragment, or a 10 kB address reached the service.
    *row("url-fragment", "[service]\nbaseUrl=http://school.test/#\n")
        << tool << main << none << "baseUrl";
    *row("url-query", "[service]\nbaseUrl=http://school.test/?a=\n")
        << tool << main << none << "baseUrl";
    *row("url-10kB", "[service]\nbaseUrl=http://school.test/" + QByteArray(10240, 'a') + "\n")
        << tool << main << none << "baseUrl";
    // Before: QSettings decoded every value of the group of a key asked for, and this one
    // aborted both programs.
    *row("variant-crash",
         "[service]\nbaseUrl=" + url.toLatin1()
             + "\n[udpport]\nx=@Variant(\\0\\0\\0\\xbool\\0\\0\\x10)\n")
        << tool << main << url << "udpport/x";
    *row("variant-port", "[udpport]\nOrvanePort=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)\n")
        << tool << main << none << "OrvanePort";
    *row("bytearray-url", "[service]\nbaseUrl=@ByteArray(http://school.test/)\n")
        << tool << main << none << "baseUrl";
    *row("invalid-in-list", "[udpport]\nOrvaneToolPort=20001\nOrvanePort=1,@Invalid()\n")
        << 20001 << main << none << "OrvanePort";
}

void TstCommon::config()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, toolPort);
    QFETCH(int, mainPort);
    QFETCH(QString, baseUrl);
    QFETCH(QString, logged);

    const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".ini");
    if (!ini.isNull())
        QVERIFY(TestSupport::writeFile(file, ini));
    if (!logged.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QRegularExpression::escape(logged)));
    const AppConfig::Config config = AppConfig::readConfig({file});
    QCOMPARE(config.toolPort, toolPort);
    QCOMPARE(config.mainPort, mainPort);
    QCOMPARE(config.baseUrl, baseUrl);

    // An ordinary file reads exactly as QSettings reads it.
    if (!ini.contains('@')) {
        const QSettings settings(file, QSettings::IniFormat);
        const QHash<QString, QVariant> ours = IniFile::parse(ini);
        QStringList keys = ours.keys();
        keys.sort();
        QCOMPARE(keys, settings.allKeys());
        for (const QString &key : qAsConst(keys))
            QCOMPARE(ours.value(key), settings.value(key));
        QVERIFY(!keys.isEmpty() || ini.isEmpty());
    }
}

void TstCommon::configFilesKeyByKey()
{
    const QString user = m_dir.filePath("user.ini");
    const QString system = m_dir.filePath("system.ini");
    QVERIFY(TestSupport::writeFile(user, "[udpport]\nOrvanePort=20001\n"));
    QVERIFY(TestSupport::writeFile(system,
                                   "[udpport]\nOrvanePort=1\nOrvaneToolPort=20002\n"
                                   "[service]\nbaseUrl=http://school.test/\n"));
    const AppConfig::Config config =
        AppConfig::readConfig({m_dir.filePath("none.ini"), user, system});
    QCOMPARE(config.mainPort, 20001);
    QCOMPARE(config.toolPort, 20002);
    QCOMPARE(config.baseUrl, QStringLiteral("http://school.test/"));
}

void TstCommon::layout_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("portable");
    QTest::newRow("portable") << "/home/t/o" << true << true;
    QTest::newRow("not-writable") << "/home/t/o" << false << false;
    // Before: root may write there, so Orvane.db with passwords went into /usr/bin.
    QTest::newRow("root-in-usr-bin") << "/usr/bin" << true << false;
    QTest::newRow("root-in-opt") << "/opt/orvane/" << true << false;
    QTest::newRow("install-prefix") << "/srv/orvane/bin" << true << false;
    QTest::newRow("install-bin-dir") << "/srv/bin" << true << false;
    QTest::newRow("beside-the-prefix") << "/srv/orvane-2" << true << true;
}

void TstCommon::layout()
{
    QFETCH(QString, appDir);
    QFETCH(bool, writable);
    QFETCH(bool, portable);
    const AppPaths::Layout layout = AppPaths::layoutFor(
        appDir, writable, {"/h/.config", {"/etc/xdg", "/usr/etc"}, "/h/.local/share", "/h/.cache"},
        AppPaths::installedLocations("/srv/orvane", "/srv/bin"));
    QCOMPARE(layout.portable, portable);
    if (portable) {
        QCOMPARE(layout.configFiles, QStringList{appDir + "/conf.ini"});
        QCOMPARE(layout.dataDir, appDir);
        QCOMPARE(layout.cacheDir, appDir);
        return;
    }
    QCOMPARE(layout.configFiles,
             QStringList({"/h/.config/Orvane/conf.ini", "/etc/xdg/Orvane/conf.ini",
                          "/usr/etc/Orvane/conf.ini"}));
    QCOMPARE(layout.dataDir, QStringLiteral("/h/.local/share/Orvane"));
    QCOMPARE(layout.cacheDir, QStringLiteral("/h/.cache/Orvane"));
}

void TstCommon::datagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Command>("command");

    QTest::newRow("showMain") << QByteArray("showMain") << "showMain" << Command::ShowMain;
    QTest::newRow("closeMain") << QByteArray("closeMain") << "closeMain" << Command::CloseMain;
    QTest::newRow("directClassroom")
        << QByteArray("directClassroom") << "directClassroom" << Command::DirectClassroom;
    QTest::newRow("zero-then-junk")
        << QByteArray("showMain\0\x01junk", 13) << "showMain" << Command::ShowMain;
    QTest::newRow("leading-zero") << QByteArray("\0closeMain", 10) << "" << Command::None;
    QTest::newRow("empty") << QByteArray() << "" << Command::None;
    QTest::newRow("wrong-case") << QByteArray("ShowMain") << "ShowMain" << Command::None;
    QTest::newRow("tool-word") << QByteArray("hideTool") << "hideTool" << Command::None;
    QTest::newRow("utf8") << QByteArray("课堂") << "课堂" << Command::None;
}

void TstCommon::datagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, text);
    QFETCH(Command, command);
    QCOMPARE(CompanionChannel::decodeDatagram(datagram), text);
    QCOMPARE(CompanionChannel::commandOf(text), command);
}

void TstCommon::channelKeepsOrder()
{
    QUdpSocket sender;
    QUdpSocket receiver;
    const int port = TestSupport::freeUdpPort();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("both programs are set to port"));
    QVERIFY(!CompanionChannel::bind(&sender, port, port));
    // Before: a program that had no channel still sent, to whoever held the port.
    QVERIFY(!CompanionChannel::send(&sender, "showMain", port));
    QVERIFY(CompanionChannel::bind(&receiver, port, 0));
    QVERIFY(CompanionChannel::bind(&sender, 0, port));
    for (const QByteArray &command : {QByteArray("directClassroom"), QByteArray(),
                                      QByteArray("showMain\0x", 10), QByteArray("closeMain")})
        QVERIFY(CompanionChannel::send(&sender, command, receiver.localPort()));

    QStringList received;
    QTRY_VERIFY((received += CompanionChannel::readPending(&receiver)).size() >= 4);
    QCOMPARE(received, QStringList({"directClassroom", "", "showMain", "closeMain"}));
}

void TstCommon::channelPorts_data()
{
    QTest::addColumn<QString>(
        "holder"); // whose socket holds a configured port: none, "us", "other"
    QTest::addColumn<QString>("address"); // where it is bound
    QTest::addColumn<bool>("toolPort");   // the port it holds is the tool's, else the main one's
    QTest::addColumn<bool>("kept");       // the configured pair is used
    QTest::newRow("free") << ""
                          << "" << true << true;
    QTest::newRow("tool-port-of-this-user") << "us"
                                            << "127.0.0.1" << true << true;
    // Before: while another user's copy ran, neither program of this user could listen.
    QTest::newRow("tool-port-of-another-user") << "other"
                                               << "127.0.0.1" << true << false;
    QTest::newRow("main-port-of-another-user") << "other"
                                               << "127.0.0.1" << false << false;
    QTest::newRow("main-port-of-another-user-on-127.0.0.2") << "other"
                                                            << "127.0.0.2" << false << false;
}

void TstCommon::channelPorts()
{
    QFETCH(QString, holder);
    QFETCH(QString, address);
    QFETCH(bool, toolPort);
    QFETCH(bool, kept);
    if (holder == QLatin1String("other") && ::geteuid() != 0)
        QSKIP("only root makes a socket of another user here");
    AppConfig::Config config;
    config.mainPort = TestSupport::freeUdpPort();
    do
        config.toolPort = TestSupport::freeUdpPort();
    while (config.toolPort == config.mainPort);
    int held = -1;
    if (!holder.isEmpty()) {
        // A socket belongs to whoever's file system uid made it.
        const int self = ::setfsuid(holder == QLatin1String("other") ? 65534 : ::geteuid());
        held = ::socket(AF_INET, SOCK_DGRAM, 0);
        ::setfsuid(uid_t(self));
        sockaddr_in bound{};
        bound.sin_family = AF_INET;
        bound.sin_port = htons(quint16(toolPort ? config.toolPort : config.mainPort));
        QCOMPARE(::inet_pton(AF_INET, address.toLatin1().constData(), &bound.sin_addr), 1);
        QCOMPARE(::bind(held, reinterpret_cast<sockaddr *>(&bound), sizeof bound), 0);
    }
    const auto release = qScopeGuard([held] {
        if (held >= 0)
            ::close(held);
    });
    if (!kept)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("another user's programs hold port"));

    const ChannelPorts::Ports ports = ChannelPorts::chooseForThisRun(config);
    QCOMPARE(ports == ChannelPorts::configured(config), kept);
    QVERIFY(ports.tool != ports.main);
    // Orvane's windows, its tool and a second copy all find the pair.
    QVERIFY(ChannelPorts::thisRun(config) == ports);
    QCOMPARE(ChannelPorts::toolArguments().isEmpty(), kept);
    QVERIFY(ChannelPorts::fromArguments(QStringList{"OrvaneTool"} + ChannelPorts::toolArguments(),
                                        config)
            == ports);
    QVERIFY(ChannelPorts::ofRunningCopy(ChannelPorts::note(ports), config) == ports);
}

void TstCommon::udpSocketOwner_data()
{
    QTest::addColumn<QByteArray>("lines");     // of /proc/net/udp and /proc/net/udp6
    QTest::addColumn<QString>("address");      // the port is always 40368 (9DB0)
    QTest::addColumn<SocketOwner>("sender");   // who may have sent from there: any address
    QTest::addColumn<SocketOwner>("receiver"); // who receives what is sent there

    // Lines as this machine's kernel writes them (addresses in little-endian words); our uid
    // is 1000.
    const auto line = [](const char *local, const char *uid,
                         const char *remote = "00000000:0000") -> QByteArray {
        return QByteArray("  17: ") + local + ' ' + remote
            + " 07 00000000:00000000 00:00000000 00000000  " + uid + "        0 518573 2 "
            + "00000000b81f01e1 0\n";
    };
    const QByteArray heading = "  sl  local_address rem_address   st tx_queue rx_queue tr "
                               "tm->when retrnsmt   uid  timeout inode ref pointer drops\n";
    const char *loopback6 = "00000000000000000000000001000000:9DB0";
    const char *mapped6 = "0000000000000000FFFF00000100007F:9DB0";
    const char *any6 = "00000000000000000000000000000000:9DB0";
    const QByteArray ours = line("0100007F:9DB0", "1000");
    const auto same = SocketOwner::SameUser;
    const auto other = SocketOwner::OtherUser;
    const auto unknown = SocketOwner::Unknown;

    QTest::newRow("ipv4-same-user") << heading + ours << "127.0.0.1" << same << same;
    QTest::newRow("ipv4-other-user")
        << line("0100007F:9DB0", "65534") << "127.0.0.1" << other << other;
    QTest::newRow("ipv4-wildcard") << line("00000000:9DB0", "1000") << "127.0.0.1" << same << same;
    QTest::newRow("missing-port") << line("0100007F:9DB1", "1000") << "127.0.0.1" << unknown
                                  << unknown;
    // Before: only sockets on the sender's address or a wildcard counted, so another user's
    // socket on 127.0.0.2 or ::1 sent as ours on 127.0.0.1 (IP_PKTINFO) and was obeyed.
    QTest::newRow("other-user-on-another-address")
        << line("0200007F:9DB0", "65534") << "127.0.0.1" << other << unknown;
    QTest::newRow("beside-ours-on-127.0.0.2")
        << ours + line("0200007F:9DB0", "65534") << "127.0.0.1" << other << same;
    QTest::newRow("beside-ours-on-ipv6")
        << ours + line(loopback6, "65534") << "127.0.0.1" << other << same;
    // A socket of another user connected to the port is not the one bound there.
    QTest::newRow("remote-address-ignored")
        << line("0100007F:B506", "65534", "0100007F:9DB0") << "127.0.0.1" << unknown << unknown;
    QTest::newRow("ipv6-same-user") << line(loopback6, "1000") << "::1" << same << same;
    QTest::newRow("ipv6-mapped-ipv4") << line(mapped6, "1000") << "127.0.0.1" << same << same;
    // What an unbound socket sends from: a dual-stack wildcard of udp6.
    QTest::newRow("ipv6-wildcard-sends-ipv4")
        << line(any6, "65534") << "127.0.0.1" << other << other;
    QTest::newRow("ipv4-wildcard-not-ipv6")
        << line("00000000:9DB0", "1000") << "::1" << same << unknown;
    QTest::newRow("shared-port-one-other")
        << ours + line(any6, "65534") << "127.0.0.1" << other << other;
    QTest::newRow("broken-lines-ignored") << heading + line("100007F:9DB0", "65534")
            + line("0100007F:19DB0", "65534") + line("0100007F:9DB0", "65534x")
            + line("0100007G:9DB0", "65534") + "  18: 0100007F:9DB0 00000000:0000 07\n"
            + ours << "127.0.0.1" << same << same;
}

void TstCommon::udpSocketOwner()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, address);
    QFETCH(SocketOwner, sender);
    QFETCH(SocketOwner, receiver);
    Platform::UdpEndpoint endpoint;
    const Q_IPV6ADDR bytes = QHostAddress(address).toIPv6Address();
    std::copy(bytes.c, bytes.c + 16, endpoint.address.begin());
    endpoint.port = 40368;
    const Platform::UdpSockets sockets = Platform::parseProcNetUdp(lines.toStdString(), 1000);
    QCOMPARE(Platform::portOwner(sockets, endpoint.port), sender);
    QCOMPARE(Platform::receiverOwner(sockets, endpoint), receiver);
}

void TstCommon::processWatch_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("otherUser"); // the probe runs as nobody
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << m_probe << false << true;
    QTest::newRow("lower-case") << m_probe.toLower() << false << true;
    QTest::newRow("upper-case") << m_probe.toUpper() << false << true;
    QTest::newRow("prefix") << m_probe.chopped(1) << false << false;
    QTest::newRow("exe-suffix") << m_probe + ".exe" << false << false;
    QTest::newRow("empty") << QString() << false << false;
    // Before: another user's process of that name kept this user's tool alive.
    QTest::newRow("other-user") << m_probe << true << false;
}

// Looked for by name among all processes, and as the one process it is.
void TstCommon::processWatch()
{
    QFETCH(QString, query);
    QFETCH(bool, otherUser);
    QFETCH(bool, found);
    if (otherUser && ::geteuid() != 0)
        QSKIP("only root starts a process as another user here");

    const QString path = m_dir.filePath(m_probe);
    QProcess probe;
    if (otherUser)
        probe.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", path, "30"});
    else
        probe.start(path, {QStringLiteral("30")});
    QVERIFY(probe.waitForStarted());
    const qint64 pid = probe.processId();
    const QString exe = QStringLiteral("/proc/%1/exe").arg(pid);
    QTRY_COMPARE(QFileInfo(exe).symLinkTarget(), path); // setpriv has become the probe
    QCOMPARE(Platform::isProcessRunning(query.toStdString()), found);
    QCOMPARE(Platform::isProcessRunning(long(pid), query.toStdString()), found);
    probe.kill();
    QVERIFY(probe.waitForFinished());
    QVERIFY(!Platform::isProcessRunning(m_probe.toStdString()));
    QVERIFY(!Platform::isProcessRunning(long(pid), m_probe.toStdString()));
}

void TstCommon::zombieIsNotRunning()
{
    const QByteArray path = QFile::encodeName(m_dir.filePath(m_probe));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::execl(path.constData(), path.constData(), "30", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QTRY_VERIFY(Platform::isProcessRunning(m_probe.toStdString()));
    ::kill(child, SIGKILL);
    // Not reaped yet: the kernel keeps it as a zombie.
    siginfo_t info{};
    QCOMPARE(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    QVERIFY(!Platform::isProcessRunning(m_probe.toStdString()));
    QVERIFY(!Platform::isProcessRunning(long(child), m_probe.toStdString()));
    ::waitpid(child, nullptr, 0);
}

void TstCommon::instanceGuard_data()
{
    QTest::addColumn<QString>("runtimeDir"); // "set", "unset" or "a file"
    QTest::addColumn<QString>("planted");    // at the temp folder's lock: "link", "other-user"
    QTest::newRow("xdg-runtime-dir") << "set"
                                     << "";
    QTest::newRow("unset-uses-temp") << "unset"
                                     << "";
    QTest::newRow("unusable-uses-temp") << "a file"
                                        << "";
    // Before: Orvane created the link's target, or another user's file kept it from starting.
    QTest::newRow("temp-lock-is-a-link") << "unset"
                                         << "link";
    QTest::newRow("temp-lock-of-another-user") << "unset"
                                               << "other-user";
}

// Each copy is a child process that takes the guard and, if it got it, records a note and
// keeps the guard until killed; a copy that finds it held exits 3 when it read that note.
void TstCommon::instanceGuard()
{
    QFETCH(QString, runtimeDir);
    QFETCH(QString, planted);
    if (planted == QLatin1String("other-user") && ::geteuid() != 0)
        QSKIP("only root gives a file to another user here");
    QTemporaryDir runtime;
    QTemporaryDir temp;
    QTemporaryDir cache;
    QByteArray runtimeValue = QFile::encodeName(runtime.path());
    QString lock = runtime.filePath(QStringLiteral("Orvane_Exec.lock"));
    if (runtimeDir != QLatin1String("set")) {
        runtimeValue = QFile::encodeName(runtime.filePath(QStringLiteral("file")));
        QVERIFY(TestSupport::writeFile(QString::fromLocal8Bit(runtimeValue), "x"));
        lock = temp.filePath(QStringLiteral("Orvane_Exec-%1.lock").arg(::getuid()));
    }
    const QString target = runtime.filePath(QStringLiteral("target"));
    if (planted == QLatin1String("link"))
        QVERIFY(QFile::link(target, lock));
    if (planted == QLatin1String("other-user")) {
        QVERIFY(TestSupport::writeFile(lock, QByteArray()));
        QVERIFY(::chown(QFile::encodeName(lock).constData(), 65534, 65534) == 0);
    }
    if (!planted.isEmpty())
        lock = cache.filePath(QStringLiteral("Orvane/Orvane_Exec.lock"));
    const std::string note = "ports 20001 20002\n";
    const auto copy = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (runtimeDir == QLatin1String("unset"))
                ::unsetenv("XDG_RUNTIME_DIR");
            else
                ::setenv("XDG_RUNTIME_DIR", runtimeValue.constData(), 1);
            ::setenv("TMPDIR", QFile::encodeName(temp.path()).constData(), 1);
            ::setenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()).constData(), 1);
            std::string found;
            const auto guard = Platform::acquireInstanceGuard("Orvane_Exec", &found);
            if (guard != Platform::InstanceGuard::Acquired)
                ::_exit(guard == Platform::InstanceGuard::AlreadyRunning ? found == note ? 3 : 5
                                                                         : 4);
            Platform::setInstanceGuardNote(note);
            ::pause();
            ::_exit(0);
        }
        return pid;
    };
    const auto exitCode = [](pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    const pid_t first = copy();
    QTRY_COMPARE(TestSupport::flockHolder(lock), qint64(first));
    QTRY_COMPARE(TestSupport::readFile(lock), QByteArray::fromStdString(note));
    QCOMPARE(exitCode(copy()), 3);
    // However the first copy ends, the guard goes with it.
    ::kill(first, SIGKILL);
    QCOMPARE(exitCode(first), -1);
    const pid_t third = copy();
    QTRY_COMPARE(TestSupport::flockHolder(lock), qint64(third));
    ::kill(third, SIGKILL);
    exitCode(third);
    QVERIFY(!QFileInfo::exists(target));
}

void TstCommon::privateFiles_data()
{
    QTest::addColumn<QString>("before"); // "none", "file", "link" (to a file elsewhere), "big"
    QTest::addColumn<bool>("readable");  // what was there is read
    QTest::newRow("none") << "none" << false;
    QTest::newRow("file") << "file" << true;
    // Before: read and written through the link, into the file it pointed at.
    QTest::newRow("link") << "link" << false;
    QTest::newRow("too-big") << "big" << false;
}

void TstCommon::privateFiles()
{
    QFETCH(QString, before);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const QString path = dir.filePath("zoom.json");
    const QString elsewhere = dir.filePath("elsewhere");
    QVERIFY(TestSupport::writeFile(elsewhere, "theirs"));
    if (before == QLatin1String("file"))
        QVERIFY(TestSupport::writeFile(path, "ours"));
    else if (before == QLatin1String("big"))
        QVERIFY(TestSupport::writeFile(path, QByteArray(2000, 'x')));
    else if (before == QLatin1String("link"))
        QVERIFY(QFile::link(elsewhere, path));
    // What a write cut short left beside it, and what is not such a thing.
    QVERIFY(TestSupport::writeFile(dir.filePath("zoom.json.Ab12Cd"), "stray"));
    QVERIFY(TestSupport::writeFile(dir.filePath("zoom.json.keep"), "not ours"));

    QCOMPARE(PrivateFile::read(path, 1000).has_value(), readable);
    if (readable)
        QCOMPARE(*PrivateFile::read(path, 1000), QByteArray("ours"));
    QVERIFY(PrivateFile::write(path, "new"));
    QCOMPARE(QFileInfo(path).isSymLink(), false);
    QCOMPARE(TestSupport::readFile(path), QByteArray("new"));
    QCOMPARE(QFile::permissions(path) & 0x0fff, QFileDevice::ReadUser | QFileDevice::WriteUser);
    QCOMPARE(TestSupport::readFile(elsewhere), QByteArray("theirs"));

    PrivateFile::removeStrays(dir.path(), {"zoom.json"});
    QVERIFY(!QFile::exists(dir.filePath("zoom.json.Ab12Cd")));
    QVERIFY(QFile::exists(dir.filePath("zoom.json.keep")) && QFile::exists(path));

    // Links go at the depth asked for, and only the links.
    QVERIFY(QDir(dir.path()).mkpath("a/b") && QFile::link(elsewhere, dir.filePath("a/link"))
            && QFile::link(elsewhere, dir.filePath("a/b/deep")));
    PrivateFile::removeLinks(dir.path(), 2);
    QVERIFY(!QFileInfo(dir.filePath("a/link")).isSymLink());
    QVERIFY(QFileInfo(dir.filePath("a/b/deep")).isSymLink());
    QCOMPARE(TestSupport::readFile(elsewhere), QByteArray("theirs"));
}

void TstCommon::logLines_data()
{
    QTest::addColumn<QString>("line"); // "url:" an address written through LogSafe::url
    QTest::addColumn<QString>("logged");
    QTest::newRow("plain-address") << "url:http://p.test/orvane/index?menuId=4"
                                   << "http://p.test/orvane/index?menuId=4";
    // Before: the keep-alive wrote its address with the token every five minutes.
    QTest::newRow("token-address") << "url:http://p.test/orvane/keepOnline?token=T0k3n"
                                   << "http://p.test/orvane/keepOnline?token=…";
    QTest::newRow("password-address")
        << "url:http://p.test/orvane/loginMainIndex?userName=u&passWord=p%26w#x"
        << "http://p.test/orvane/loginMainIndex?userName=…&passWord=…";
    // Whatever writes it: a page's console, Qt, an error text.
    QTest::newRow("remembered-secret") << "js: failed at http://p.test/main?token=T0k3n (12)"
                                       << "js: failed at http://p.test/main?token=… (12)";
    QTest::newRow("percent-encoded") << "POST ?passWord=a%26b%23c%2Bd%20e%25 200"
                                     << "POST ?passWord=… 200";
    QTest::newRow("password-as-it-is") << "reply: {\"passWord\":\"a&b#c+d e%\"}"
                                       << "reply: {\"passWord\":\"…\"}";
}

void TstCommon::logLines()
{
    QFETCH(QString, line);
    QFETCH(QString, logged);
    LogSafe::remember(QStringLiteral("T0k3n"));
    LogSafe::remember(QStringLiteral("a&b#c+d e%"));
    LogSafe::remember(QString());
    QCOMPARE(line.startsWith("url:") ? LogSafe::url(QUrl(line.mid(4))) : LogSafe::scrub(line),
             logged);
}

QTEST_GUILESS_MAIN(TstCommon)
#include "tst_common.moc"
