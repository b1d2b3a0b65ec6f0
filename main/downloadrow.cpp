// SPDX-License-Identifier: MIT
#include "main/downloadrow.h"
#include "ui_downloadrow.h"

#include "main/webdownload.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

DownloadRow::DownloadRow(WebDownload *download, const QString &file, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DownloadRow)
    , m_download(download)
    , m_file(file)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    download->setParent(this);
    ui->lbName->setText(QFileInfo(file).fileName());
    ui->lbStatus->setText(QStringLiteral("正在下载"));
    ui->progress->setRange(0, 0);
    ui->btnOpen->hide();
    ui->btnFolder->hide();
    connect(download, &WebDownload::progress, this, [this](qint64 received, qint64 total) {
        ui->progress->setRange(0, total > 0 ? 1000 : 0);
        if (total > 0)
            ui->progress->setValue(int(received * 1000 / total));
    });
    connect(download, &WebDownload::finished, this, &DownloadRow::finished);
    connect(ui->btnCancel, &QPushButton::clicked, download, &WebDownload::cancel);
    connect(ui->btnOpen, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_file)); });
    connect(ui->btnFolder, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_file).absolutePath()));
    });
    connect(ui->btnClose, &QPushButton::clicked, this, [this] {
        m_download->cancel();
        deleteLater();
    });
}

DownloadRow::~DownloadRow()
{
    delete ui;
}

void DownloadRow::finished(bool ok, const QString &error)
{
    ui->btnCancel->hide();
    ui->progress->hide();
    ui->btnOpen->setVisible(ok);
    ui->btnFolder->setVisible(ok);
    ui->lbStatus->setText(ok                    ? QStringLiteral("已完成")
                              : error.isEmpty() ? QStringLiteral("已取消")
                                                : QStringLiteral("下载失败：") + error);
}
