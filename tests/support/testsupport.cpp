// SPDX-License-Identifier: MIT
#include "tests/support/testsupport.h"

#include "common/textdecoder.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QUdpSocket>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace TestSupport {

QString binDir()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

bool hasWebKit()
{
#ifdef ORVANE_TEST_WEBKIT
    return true;
#else
    return false;
#endif
}

QString program(const QString &name)
{
    return binDir() + QLatin1Char('/') + name;
}

QString appFile(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QStringList unnamedControls(QWidget *top, const QWidget *skip)
{
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    QStringList unnamed;
    for (QWidget *control : top->findChildren<QWidget *>()) {
        const bool control_ = control->focusPolicy() & Qt::TabFocus
            || qobject_cast<QAbstractButton *>(control) || qobject_cast<QLabel *>(control)
            || qobject_cast<QProgressBar *>(control);
        if (!control_ || !control->isVisibleTo(top) || (skip && skip->isAncestorOf(control)))
            continue;
        if (!QAccessible::queryAccessibleInterface(control)
                 ->text(QAccessible::Name)
                 .contains(chinese))
            unnamed << control->metaObject()->className() + QLatin1Char(' ')
                    + control->objectName();
    }
    return unnamed;
}

QString textWithZeros(const QByteArray &bytes)
{
    QString text;
    TextDecoder::decode("UTF-8", bytes.constData(), bytes.size(), &text);
    return text;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool installPrograms(const QString &dir)
{
    bool ok = true;
    for (const QString &name : {QStringLiteral("Orvane"), QStringLiteral("OrvaneTool")}) {
        const QString target = dir + QLatin1Char('/') + name;
        QFile::remove(target);
        ok = QFile::copy(program(name), target) && ok;
    }
    return ok;
}

int freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

SenderProcess::~SenderProcess()
{
    kill();
    waitForFinished();
}

bool SenderProcess::send(const QByteArray &word, int port, bool otherUser)
{
    const QStringList bash{"-c",
                           R"(exec 3<>"/dev/udp/127.0.0.1/$1" && printf %s "$2" >&3 && echo sent &&
                              exec sleep 60)",
                           "sender", QString::number(port), QString::fromLatin1(word)};
    const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", "bash"};
    start(otherUser ? "setpriv" : "bash", otherUser ? asNobody + bash : bash);
    return waitForReadyRead(10000) && readAllStandardOutput().startsWith("sent");
}

qint64 residentKiB(qint64 pid)
{
    const QByteArray status = readFile(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                                           : QStringLiteral("/proc/self/status"));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 flockHolder(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    // Reading the kernel's lock table does not disturb the lock, unlike trying to take it.
    const QByteArray inodeSuffix = ':' + QByteArray::number(static_cast<qulonglong>(st.st_ino));
    for (const QByteArray &line : readFile(QStringLiteral("/proc/locks")).split('\n')) {
        // "1: FLOCK  ADVISORY  WRITE 4711 fe:01:123456 0 EOF"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields.at(1) == "FLOCK" && fields.at(5).endsWith(inodeSuffix))
            return fields.at(4).toLongLong();
    }
    return 0;
}

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

} // namespace TestSupport
