// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class WebDownload;

namespace Ui {
class DownloadRow;
}

// One download under the page: its progress and a cancel button, then "打开" and
// "打开所在文件夹", or why it failed.
class DownloadRow : public QWidget
{
    Q_OBJECT

public:
    // Takes over the download, which saves to file.
    DownloadRow(WebDownload *download, const QString &file, QWidget *parent = nullptr);
    ~DownloadRow() override;

private:
    void finished(bool ok, const QString &error);

    Ui::DownloadRow *ui;
    WebDownload *m_download;
    const QString m_file;
};
