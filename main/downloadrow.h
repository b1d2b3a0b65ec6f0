// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QWidget>

class WebDownload;

namespace Ui {
class DownloadRow;
}

// One download under the page: its size, progress, the time left and a cancel button, then
// "打开" and "打开所在文件夹", or why it failed.
class DownloadRow : public QWidget
{
    Q_OBJECT

public:
    // Takes over the download, which may have ended already.
    explicit DownloadRow(WebDownload *download, QWidget *parent = nullptr);
    ~DownloadRow() override;

    WebDownload *download() const { return m_download; }

    // "2.5 MB / 16 MB，还剩 12 秒": what a running download has done and has left, at a rate
    // of bytesPerSecond (0: not known yet). total below 0: unknown.
    static QString progressText(qint64 received, qint64 total, double bytesPerSecond);
    static QString sizeText(qint64 bytes);

private:
    void progress(qint64 received, qint64 total);
    void finished();

    Ui::DownloadRow *ui;
    WebDownload *m_download;
    QElapsedTimer m_clock;
    qint64 m_lastReceived = 0;
    qint64 m_lastTime = 0;
    double m_rate = 0; // bytes per second, smoothed
};
