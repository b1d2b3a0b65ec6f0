// SPDX-License-Identifier: MIT
#include "app/companionchannel.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <memory>
#include <vector>

namespace {

// The program looks every ten seconds.
constexpr int WatchInterval = 10000;

int freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

} // namespace

// The real OrvaneTool program, offscreen, from its own application folder: it must end by
// itself once no main program runs, and only then.
class TstOrvaneTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void endsWithoutMainProgram_data();
    void endsWithoutMainProgram();
    void staysWhileMainProgramRuns();

private:
    QProcess *start(const QString &program, const QStringList &arguments = {});
    void startTool();
    bool waitForLog(const QByteArray &text);
    QString otherMainProgramNote() const;

    std::unique_ptr<QTemporaryDir> m_appDir;
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
    std::unique_ptr<QUdpSocket> m_mainSocket; // where the tool's own sends would go
    int m_toolPort = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess *m_tool = nullptr;
    QByteArray m_toolLog;
};

void TstOrvaneTool::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    m_runtimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid() && m_runtimeDir->isValid());
    // Only the tool is needed here; Orvane is copied too when it has been built.
    TestSupport::installPrograms(m_appDir->path());
    QVERIFY(QFile::exists(m_appDir->filePath(QStringLiteral("OrvaneTool"))));

    m_mainSocket = std::make_unique<QUdpSocket>();
    QVERIFY(m_mainSocket->bind(QHostAddress::LocalHost, 0));
    m_toolPort = freeUdpPort();
    QVERIFY(m_toolPort > 0);
    QVERIFY(TestSupport::writeFile(m_appDir->filePath(QStringLiteral("conf.ini")),
                                   QStringLiteral("[udpport]\nOrvaneToolPort=%1\nOrvanePort=%2\n")
                                       .arg(m_toolPort)
                                       .arg(m_mainSocket->localPort())
                                       .toUtf8()));
    m_toolLog.clear();
}

void TstOrvaneTool::cleanup()
{
    for (const auto &process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    m_processes.clear();
    m_tool = nullptr;
    m_mainSocket.reset();
    m_runtimeDir.reset();
    m_appDir.reset();
}

QProcess *TstOrvaneTool::start(const QString &program, const QStringList &arguments)
{
    m_processes.push_back(std::make_unique<QProcess>());
    QProcess *process = m_processes.back().get();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir->path());
    process->setProcessEnvironment(env);
    process->start(program, arguments);
    return process;
}

void TstOrvaneTool::startTool()
{
    m_tool = start(m_appDir->filePath(QStringLiteral("OrvaneTool")));
    QVERIFY(m_tool->waitForStarted());
    connect(m_tool, &QProcess::readyReadStandardError, this,
            [this] { m_toolLog += m_tool->readAllStandardError(); });
    // The ports are logged last in construction, after the socket is bound.
    QVERIFY2(waitForLog(QByteArray::number(m_toolPort) + ' ' +
                        QByteArray::number(m_mainSocket->localPort())),
             m_toolLog.constData());
}

bool TstOrvaneTool::waitForLog(const QByteArray &text)
{
    return QTest::qWaitFor([&] { return m_toolLog.contains(text); }, 10000);
}

QString TstOrvaneTool::otherMainProgramNote() const
{
    const std::string name = Platform::executableFileName("Orvane");
    return Platform::isProcessRunning(name)
               ? QStringLiteral("a process named %1 runs on this machine")
                     .arg(QString::fromStdString(name))
               : QString();
}

void TstOrvaneTool::endsWithoutMainProgram_data()
{
    QTest::addColumn<QByteArrayList>("datagrams"); // sent to the tool before its first look
    QTest::newRow("shown-in-the-modal-run") << QByteArrayList();
    // Mended: a hidden tool window outlived Orvane, since accepting it only ended a modal
    // run that was already over.
    QTest::newRow("hidden") << QByteArrayList{"hideTool"};
    QTest::newRow("hidden-by-an-empty-datagram") << QByteArrayList{""};
    QTest::newRow("hidden-then-shown-again") << QByteArrayList{"hideTool", "showTool"};
}

void TstOrvaneTool::endsWithoutMainProgram()
{
    QFETCH(QByteArrayList, datagrams);

    startTool();
    QUdpSocket orvane;
    for (const QByteArray &datagram : datagrams) {
        CompanionChannel::send(&orvane, datagram, m_toolPort);
        // Each datagram is logged, quoted, as it is handled.
        QVERIFY2(waitForLog('"' + datagram + "\"\n"), m_toolLog.constData());
        m_toolLog.replace('"' + datagram + "\"\n", QByteArray());
    }

    // The first look comes ten seconds after start; give it a few more chances in case another
    // copy of the main program happens to run on this machine meanwhile.
    const bool finished = m_tool->waitForFinished(4 * WatchInterval + 5000);
    QVERIFY2(finished, qPrintable(otherMainProgramNote()));
    QCOMPARE(m_tool->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_tool->exitCode(), 1);
}

void TstOrvaneTool::staysWhileMainProgramRuns()
{
    // Any program under the main program's name counts, whatever the letter case.
    const QString fakeMain = m_appDir->filePath(QStringLiteral("orvane"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), fakeMain));
    QProcess *orvane = start(fakeMain, {QStringLiteral("600")});
    QVERIFY(orvane->waitForStarted());

    startTool();
    // Past the first look, with room to spare.
    QVERIFY2(!m_tool->waitForFinished(WatchInterval + WatchInterval / 2), m_toolLog.constData());
    QCOMPARE(m_tool->state(), QProcess::Running);

    // Once it is gone, the next look ends the tool.
    orvane->kill();
    QVERIFY(orvane->waitForFinished(5000));
    QVERIFY2(m_tool->waitForFinished(4 * WatchInterval + 5000), qPrintable(otherMainProgramNote()));
    QCOMPARE(m_tool->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_tool->exitCode(), 1);
}

QTEST_GUILESS_MAIN(TstOrvaneTool)
#include "tst_orvanetool.moc"
