// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Something the view cannot show and the user may keep: an attachment, a file of a type the
// engine has no use for, a Blob or data: download. Made by the engine; the main window chooses
// where to keep it and starts it. The data sits in "<file>.part" until it is complete; then it
// takes the file's name, or the next free one ("作业 (1).docx") should that name be taken by
// then: a download never replaces a file. A download ends once, as done, failed or cancelled,
// whatever order the engine reports things in; what it wrote goes with a failure or a cancel.
class WebDownload : public QObject
{
    Q_OBJECT

public:
    enum class State { Waiting, Running, Done, Failed, Cancelled };

    explicit WebDownload(QObject *parent = nullptr);
    ~WebDownload() override;

    // The name the page or the server proposes, made safe (safeFileName).
    virtual QString suggestedFileName() const = 0;
    virtual QUrl url() const = 0;
    // Saves to file, a name that nothing has taken (uniqueFile).
    virtual void start(const QString &file) = 0;
    virtual void cancel() = 0;

    State state() const { return m_state; }
    bool hasEnded() const { return m_state != State::Waiting && m_state != State::Running; }
    QString error() const { return m_error; }
    // The file as chosen, and once done, as it is called.
    QString file() const { return m_file; }
    qint64 received() const { return m_received; }
    qint64 total() const { return m_total; }
    // Handed to the desktop's opener once done: a document the user went to see that the
    // engine cannot show (a PDF on QtWebKit).
    bool opensWhenDone() const { return m_opensWhenDone; }
    void setOpensWhenDone(bool opens) { m_opensWhenDone = opens; }

    // Only the last part of a proposed name, without leading dots, spaces or control
    // characters, at most 200 bytes: never a path out of the folder, never a hidden file.
    static QString safeFileName(const QString &proposed);
    // folder + name, or with " (n)" before its extension where the name, its ".part" or a
    // download under way already has it.
    static QString uniqueFile(const QString &folder, const QString &name);
    // The name a response proposes: Content-Disposition's filename* (RFC 5987), else its
    // filename (UTF-8, else the Chinese system codec, percent-encoded or not), else the last
    // part of the URL's path; made safe.
    static QString nameFromResponse(const QByteArray &contentDisposition, const QUrl &url);
    static QString partFile(const QString &file) { return file + QStringLiteral(".part"); }

signals:
    void progress(qint64 received, qint64 total); // total -1 when unknown
    // ok false: cancelled (error empty) or failed (error says why, in Chinese).
    void finished(bool ok, const QString &error);

protected:
    // The file chosen: it and its ".part" are this download's from now on.
    void setFile(const QString &file);
    void setProgress(qint64 received, qint64 total);
    // The ".part" holds everything: it becomes the file.
    void complete();
    // Failed (error) or cancelled (empty error); the ".part" this download wrote is removed.
    // False when the download had ended already.
    bool end(const QString &error);
    // Whether this download made the ".part" (only then is it removed).
    void setPartWritten(bool written) { m_partWritten = written; }
    // Why writing to file failed, in words a user acts on: a full disk, no permission.
    static QString writeFailure(const QString &file);

private:
    void release();

    State m_state = State::Waiting;
    QString m_error;
    QString m_file;
    bool m_partWritten = false;
    bool m_opensWhenDone = false;
    qint64 m_received = 0;
    qint64 m_total = -1;
};
