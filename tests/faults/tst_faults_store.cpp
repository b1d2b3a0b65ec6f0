// SPDX-License-Identifier: MIT
// "Orvane.db" locked, read-only, in a read-only folder, replaced by garbage or holding a
// foreign table; "RCode.jpg" that cannot be written. Nothing crashes, the login still
// works, nothing saved is lost or altered, and only a damaged file is moved aside.
#include "app/appconfig.h"
#include "app/globals.h"
#include "login/login.h"
#include "login/loginpage.h"
#include "store/csqlite3.h"
#include "store/csqlite3query.h"
#include "store/userstore.h"
#include "tests/support/testhttpserver.h"
#include "tests/support/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

enum class Fault { Locked, ReadOnlyFile, ReadOnlyFolder, Garbage, ForeignTable, RCodeUnwritable };

constexpr int ShortBusyMs = 300;
const QByteArray Garbage = QByteArray("this is not a database\n").repeated(300);

// As root, file modes bind nobody; without these capabilities root is a plain owner.
bool actAsPlainOwner()
{
    if (geteuid() != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

// Every row of the table as text, read without UserStore (which might move the file).
QStringList tableRows(const QString &dbPath)
{
    CSqlite3 db(dbPath.toUtf8().constData());
    db.setBusyTimeout(5000);
    QStringList rows;
    std::unique_ptr<CSqlite3Query> query(db.query("select * from tbl_user_info order by 1"));
    for (; query && !query->atEnd(); query->nextRow()) {
        QStringList values;
        for (int i = 0; i < query->columnCount(); ++i)
            values << QString::fromUtf8(query->textValue(i));
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList asideFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("Orvane.db.*")}, QDir::Files);
}

// A sqlite3 shell holding a write transaction on the file, as another program might.
class ShellLock
{
public:
    bool take(const QString &dbPath)
    {
        m_shell.start(QStringLiteral("sqlite3"), {dbPath});
        if (!m_shell.waitForStarted(5000))
            return false;
        m_shell.write("BEGIN EXCLUSIVE;\nSELECT 'lock' || 'ed';\n");
        return QTest::qWaitFor(
            [&] {
                m_shell.waitForReadyRead(100);
                m_output += m_shell.readAllStandardOutput();
                return m_output.contains("locked");
            },
            10000);
    }
    void release()
    {
        if (m_shell.state() == QProcess::NotRunning)
            return;
        m_shell.write("ROLLBACK;\n.quit\n");
        m_shell.closeWriteChannel();
        if (!m_shell.waitForFinished(5000))
            m_shell.kill();
    }
    ~ShellLock() { release(); }

private:
    QProcess m_shell;
    QByteArray m_output;
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstFaultsStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startUpKeepsWhatIsSaved_data();
    void startUpKeepsWhatIsSaved();
    void loginStillWorks_data();
    void loginStillWorks();

private:
    bool seed(const QString &dir);
    bool applyFault(Fault fault, const QString &dir);
    void clearFault(const QString &dir);

    ShellLock m_lock;
    QTemporaryDir m_loginDir;
};

void TstFaultsStore::initTestCase()
{
    QVERIFY(actAsPlainOwner());
    QVERIFY(m_loginDir.isValid());
    AppConfig::setApplicationDirectory(m_loginDir.path());
}

void TstFaultsStore::cleanup()
{
    m_lock.release();
}

bool TstFaultsStore::seed(const QString &dir)
{
    UserStore store(dir, ShortBusyMs);
    return store.saveUser(QStringLiteral("13800000001"), QStringLiteral("pw1"), true, false)
        && store.saveUser(QStringLiteral("13900000002"), QStringLiteral("p'w2"), true, true);
}

bool TstFaultsStore::applyFault(Fault fault, const QString &dir)
{
    const QString db = dir + QStringLiteral("/Orvane.db");
    switch (fault) {
    case Fault::Locked:
        return m_lock.take(db);
    case Fault::ReadOnlyFile:
        return QFile::setPermissions(db, QFileDevice::ReadOwner);
    case Fault::ReadOnlyFolder:
        return QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    case Fault::Garbage:
        return TestSupport::writeFile(db, Garbage);
    case Fault::ForeignTable: {
        QFile::remove(db);
        CSqlite3 other(db.toUtf8().constData());
        return other.execute("create table tbl_user_info(x text, y int);"
                             "insert into tbl_user_info values('foreign', 7);")
            >= 0;
    }
    case Fault::RCodeUnwritable: // a folder where the picture should go
        QFile::remove(dir + QStringLiteral("/RCode.jpg"));
        return QDir(dir).mkdir(QStringLiteral("RCode.jpg"));
    }
    return false;
}

void TstFaultsStore::clearFault(const QString &dir)
{
    m_lock.release();
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(dir + QStringLiteral("/Orvane.db"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TstFaultsStore::startUpKeepsWhatIsSaved_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("readable"); // the saved names can be listed
    QTest::addColumn<int>("openError"); // what SQLite says when the table is looked for
    QTest::newRow("locked") << Fault::Locked << false << SQLITE_BUSY;
    QTest::newRow("read-only-file") << Fault::ReadOnlyFile << true << SQLITE_OK;
    QTest::newRow("read-only-folder") << Fault::ReadOnlyFolder << true << SQLITE_OK;
    QTest::newRow("garbage") << Fault::Garbage << false << SQLITE_NOTADB;
    QTest::newRow("foreign-table") << Fault::ForeignTable << false << SQLITE_OK;
}

void TstFaultsStore::startUpKeepsWhatIsSaved()
{
    QFETCH(Fault, fault);
    QFETCH(bool, readable);
    QFETCH(int, openError);
    QTemporaryDir temp;
    const QString dir = temp.path();
    const QString db = dir + QStringLiteral("/Orvane.db");
    QVERIFY(seed(dir));
    const QStringList saved = tableRows(db);
    QCOMPARE(saved.size(), 2);
    QVERIFY(applyFault(fault, dir));

    CSqlite3 probe(db.toUtf8().constData());
    probe.setBusyTimeout(ShortBusyMs);
    probe.hasTable("tbl_user_info");
    QCOMPARE(probe.lastErrorCode(), openError);

    // Start-up as Orvane does it, then what a login does with the store.
    {
        UserStore store(dir, ShortBusyMs);
        QStringList names;
        store.listUserNames(names);
        QCOMPARE(names.size(), readable ? 2 : 0);
        QVERIFY(!store.saveUser(QStringLiteral("13700000003"), QStringLiteral("x"), true, false));
        QVERIFY(!store.removeUser(QStringLiteral("13800000001")));
    }
    clearFault(dir);

    if (fault == Fault::Garbage) {
        // Damaged: kept aside byte for byte, and the next start begins afresh.
        const QStringList aside = asideFiles(dir);
        QCOMPARE(aside.size(), 1);
        QFile kept(dir + QLatin1Char('/') + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), Garbage);
        UserStore next(dir, ShortBusyMs);
        QVERIFY(next.saveUser(QStringLiteral("13700000003"), QStringLiteral("x"), true, false));
        return;
    }
    // Locked: before the mend the file was moved aside after the busy wait, and the saved
    // accounts were gone from use.
    QCOMPARE(asideFiles(dir), QStringList());
    QCOMPARE(tableRows(db),
             fault == Fault::ForeignTable ? QStringList{QStringLiteral("foreign|7")} : saved);
}

void TstFaultsStore::loginStillWorks_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("locked") << Fault::Locked;
    QTest::newRow("read-only-file") << Fault::ReadOnlyFile;
    QTest::newRow("read-only-folder") << Fault::ReadOnlyFolder;
    QTest::newRow("rcode-unwritable") << Fault::RCodeUnwritable;
}

void TstFaultsStore::loginStillWorks()
{
    QFETCH(Fault, fault);
    // The one store of the process, built at the first row; waits shortly on locks.
    const QString dir = m_loginDir.path();
    UserStore::instance().setBusyTimeout(ShortBusyMs);
    QVERIFY(UserStore::instance().removeUser(QStringLiteral("13700000003")));
    QVERIFY(seed(dir));
    const QStringList saved = tableRows(dir + QStringLiteral("/Orvane.db"));
    QVERIFY(applyFault(fault, dir));

    TestHttpServer server;
    QVERIFY(server.start());
    g_baseUrl = server.baseUrl();
    server.route("orvane/qrcode/getImageCode", TestResponse::withStatus(200, "img", "image/jpeg"));
    server.route("orvane/qrcode/getQRcodeState", TestResponse::json(R"({"status":0})"));
    server.route("orvane/client/login",
                 TestResponse::json(R"({"status":1,"msg":"ok","result":{"token":"T"}})"));
    {
        Login login;
        QSignalSpy accepted(&login, &QDialog::accepted);
        login.show();
        LoginPage *page = login.loginPage();
        page->findChild<QComboBox *>(QStringLiteral("cbUserName"))
            ->findChild<QLineEdit *>()
            ->setText(QStringLiteral("13700000003"));
        page->findChild<QLineEdit *>(QStringLiteral("editPassword"))
            ->setText(QStringLiteral("pw3"));
        QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("btnLogin")),
                          Qt::LeftButton);
        QVERIFY(accepted.wait(10000));
        QCOMPARE(g_token, QStringLiteral("T"));
    }
    clearFault(dir);
    QDir(dir).rmdir(QStringLiteral("RCode.jpg"));

    // What was saved before is there as it was; only the new account may have been added.
    const QStringList after = tableRows(dir + QStringLiteral("/Orvane.db"));
    QCOMPARE(after.mid(0, 2), saved);
    QCOMPARE(after.size(), fault == Fault::RCodeUnwritable ? 3 : 2);
    QCOMPARE(asideFiles(dir), QStringList());
}

QTEST_MAIN(TstFaultsStore)
#include "tst_faults_store.moc"
