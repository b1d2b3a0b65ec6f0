// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Something the view cannot show and the user may keep: an attachment, a file of a type the
// engine has no use for, a Blob or data: download. Made by the engine; the main window asks
// where to keep it and then starts it.
class WebDownload : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QString suggestedFileName() const = 0;
    virtual QUrl url() const = 0;
    // Writes to file; until it is complete the data sits in file + ".part", and a cancel or a
    // failure removes it.
    virtual void start(const QString &file) = 0;
    virtual void cancel() = 0;

signals:
    void progress(qint64 received, qint64 total); // total -1 when unknown
    // ok false: cancelled (error empty) or failed (error says why).
    void finished(bool ok, const QString &error);
};
