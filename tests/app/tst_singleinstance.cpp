// SPDX-License-Identifier: MIT
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The guard with the real program: each case has its own runtime and application folder.
class TstSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondStartEndsAtOnce_data();
    void secondStartEndsAtOnce();

private:
    QProcess *startOrvane(const QProcessEnvironment &env);

    QTemporaryDir *m_appDir = nullptr;
    QTemporaryDir *m_runtimeDir = nullptr;
    QList<QProcess *> m_processes;
};

void TstSingleInstance::init()
{
    m_appDir = new QTemporaryDir;
    m_runtimeDir = new QTemporaryDir;
    QVERIFY(m_appDir->isValid() && m_runtimeDir->isValid());
    QVERIFY(TestSupport::installPrograms(m_appDir->path()));
    // Nothing is listening there: the program must not reach any real service.
    QVERIFY(TestSupport::writeFile(m_appDir->filePath(QStringLiteral("conf.ini")),
                                   "[service]\nbaseUrl=http://127.0.0.1:9/\n"
                                   "[udpport]\nOrvaneToolPort=9\nOrvanePort=9\n"));
}

void TstSingleInstance::cleanup()
{
    for (QProcess *process : qAsConst(m_processes)) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    m_processes.clear();
    delete m_appDir;
    delete m_runtimeDir;
}

QProcess *TstSingleInstance::startOrvane(const QProcessEnvironment &env)
{
    auto *process = new QProcess;
    m_processes.append(process);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(m_appDir->filePath(QStringLiteral("Orvane")), QStringList());
    return process;
}

void TstSingleInstance::secondStartEndsAtOnce_data()
{
    QTest::addColumn<QString>("runtimeDir"); // "set", "unset" or "file"
    QTest::newRow("xdg-runtime-dir") << QStringLiteral("set");
    QTest::newRow("unset-uses-temp-folder") << QStringLiteral("unset");
    QTest::newRow("unusable-uses-temp-folder") << QStringLiteral("file");
}

void TstSingleInstance::secondStartEndsAtOnce()
{
    QFETCH(QString, runtimeDir);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QString lockPath;
    if (runtimeDir == QLatin1String("set")) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir->path());
        lockPath = m_runtimeDir->filePath(QStringLiteral("Orvane_Exec.lock"));
    } else {
        if (runtimeDir == QLatin1String("unset")) {
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        } else {
            const QString notADir = m_runtimeDir->filePath(QStringLiteral("file"));
            QVERIFY(TestSupport::writeFile(notADir, "x"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), notADir);
        }
        env.insert(QStringLiteral("TMPDIR"), m_runtimeDir->path());
        lockPath = m_runtimeDir->filePath(QStringLiteral("Orvane_Exec-%1.lock").arg(::getuid()));
    }

    QProcess *first = startOrvane(env);
    QVERIFY(first->waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::flockHolder(lockPath), first->processId(), 10000);

    QProcess *second = startOrvane(env);
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);

    // However the first copy ends, the guard goes with it.
    first->kill();
    QVERIFY(first->waitForFinished(5000));
    QProcess *third = startOrvane(env);
    QVERIFY(third->waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::flockHolder(lockPath), third->processId(), 10000);
    QCOMPARE(third->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TstSingleInstance)
#include "tst_singleinstance.moc"
