// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class QWidget;

namespace TestSupport {

// build/bin, where the programs land (set by CTest).
QString binDir();
// Whether this build has the QtWebKit engine (Qt 5 with QtWebKit found); the suites' QtWebKit
// runs skip with NoWebKit when it has not.
bool hasWebKit();
inline constexpr char NoWebKit[] =
    "QtWebKit is not in this build (Qt 6 has none; Qt 5 built without it): QtWebEngine only";
// Path of one of the built programs.
QString program(const QString &name);
// A file in this test's own application directory (the folder of its executable).
QString appFile(const QString &name);
// Bytes as UTF-8 text, zero bytes kept as zero characters.
QString textWithZeros(const QByteArray &bytes);
// Writes bytes to a file, replacing it; false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Copies the built programs into dir, which then is their application directory.
bool installPrograms(const QString &dir);
// A UDP port of 127.0.0.1 that nobody uses right now, or 0.
int freeUdpPort();
// A bash that sends a datagram, as nobody when asked (needs root), and keeps its socket open
// until this is destroyed, so the receiver can still look it up.
class SenderProcess : public QProcess
{
public:
    ~SenderProcess() override;
    // Sends word to 127.0.0.1:port; false when nothing was sent.
    bool send(const QByteArray &word, int port, bool otherUser);
};
// Resident size (VmRSS) of process pid, or of this process for 0; -1 when unknown.
qint64 residentKiB(qint64 pid = 0);
// Pid of the process holding an flock on path, or 0 when nobody holds one.
qint64 flockHolder(const QString &path);
// The controls of top (shown with it) that a person can reach or read but a screen reader
// cannot name in Chinese, as "Class objectName"; those within skip are left to skip.
QStringList unnamedControls(QWidget *top, const QWidget *skip = nullptr);
// As root, file modes bind nobody: drops the capabilities that let root past them, so that
// this process meets unreadable and unwritable files as their owner would.
bool actAsPlainOwner();

} // namespace TestSupport
