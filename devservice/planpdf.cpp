// SPDX-License-Identifier: MIT
#include "devservice/planpdf.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

std::string planPdf()
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("2024 学年秋季学期教学计划"));
        writer.setCreator(QStringLiteral("Orvane 演示服务"));
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPointSize(18);
        painter.setFont(font);
        painter.drawText(QPointF(72, 96), QStringLiteral("2024 学年秋季学期教学计划"));
    }
    return pdf.toStdString();
}
