// SPDX-License-Identifier: MIT
#include "main/downloadrow.h"
#include "ui_downloadrow.h"

#include "main/webdownload.h"
#include "platform/platform.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <cmath>

DownloadRow::DownloadRow(WebDownload *download, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DownloadRow)
    , m_download(download)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    download->setParent(this);
    m_clock.start();
    ui->lbName->setText(download->suggestedFileName());
    ui->lbStatus->setText(QStringLiteral("正在下载"));
    ui->progress->setRange(0, 0);
    ui->btnOpen->hide();
    ui->btnFolder->hide();
    connect(download, &WebDownload::progress, this, &DownloadRow::progress);
    connect(download, &WebDownload::finished, this, &DownloadRow::finished);
    connect(ui->btnCancel, &QPushButton::clicked, download, &WebDownload::cancel);
    connect(ui->btnOpen, &QPushButton::clicked, this, [this] {
        const Platform::SharedFileMask forTheUser;
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_download->file()));
    });
    connect(ui->btnFolder, &QPushButton::clicked, this, [this] {
        const Platform::SharedFileMask forTheUser;
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QFileInfo(m_download->file()).absolutePath()));
    });
    connect(ui->btnClose, &QPushButton::clicked, this, [this] {
        m_download->cancel();
        deleteLater();
    });
    // Whatever order the engine told it in: a download that ended before this row existed
    // shows how it ended.
    if (download->hasEnded())
        finished();
}

DownloadRow::~DownloadRow()
{
    delete ui;
}

QString DownloadRow::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    const char *units[] = {"KB", "MB", "GB", "TB"};
    double value = bytes / 1024.0;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2")
        .arg(value, 0, 'f', value < 10 ? 1 : 0)
        .arg(QLatin1String(units[unit]));
}

QString DownloadRow::progressText(qint64 received, qint64 total, double bytesPerSecond)
{
    if (total <= 0)
        return sizeText(received);
    QString text = sizeText(received) + QStringLiteral(" / ") + sizeText(total);
    if (bytesPerSecond <= 0 || received >= total)
        return text;
    const qint64 seconds = qint64(std::ceil((total - received) / bytesPerSecond));
    if (seconds < 60)
        return text + QStringLiteral("，还剩 %1 秒").arg(seconds);
    if (seconds < 3600)
        return text + QStringLiteral("，还剩 %1 分钟").arg((seconds + 59) / 60);
    return text + QStringLiteral("，还剩 %1 小时").arg((seconds + 3599) / 3600);
}

void DownloadRow::progress(qint64 received, qint64 total)
{
    if (m_download->hasEnded())
        return;
    // The rate over the last stretch, smoothed so the time left does not jump about.
    const qint64 now = m_clock.elapsed();
    if (now - m_lastTime >= 500) {
        const double rate = (received - m_lastReceived) * 1000.0 / (now - m_lastTime);
        m_rate = m_rate > 0 ? 0.7 * m_rate + 0.3 * rate : rate;
        m_lastReceived = received;
        m_lastTime = now;
    }
    ui->progress->setRange(0, total > 0 ? 1000 : 0);
    if (total > 0)
        ui->progress->setValue(int(received * 1000 / total));
    ui->lbStatus->setText(progressText(received, total, m_rate));
}

void DownloadRow::finished()
{
    const WebDownload::State state = m_download->state();
    const bool done = state == WebDownload::State::Done;
    if (!m_download->file().isEmpty())
        ui->lbName->setText(QFileInfo(m_download->file()).fileName());
    ui->btnCancel->hide();
    ui->progress->hide();
    ui->btnOpen->setVisible(done);
    ui->btnFolder->setVisible(done);
    if (done && m_download->opensWhenDone())
        ui->btnOpen->click();
    ui->lbStatus->setText(done ? QStringLiteral("已完成 %1").arg(sizeText(m_download->total()))
                              : state == WebDownload::State::Cancelled
                              ? QStringLiteral("已取消")
                              : QStringLiteral("下载失败：") + m_download->error());
}
