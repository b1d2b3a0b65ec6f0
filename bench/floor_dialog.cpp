// SPDX-License-Identifier: MIT
// The floor of Orvane's start: a bare Qt program showing a 360 x 647 frameless translucent
// dialog that paints one pixmap. Stamps like Orvane under ORVANE_BENCH_STAMPS.
#include "common/benchstamp.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPixmap>

namespace {

class Dialog : public QDialog
{
public:
    explicit Dialog(const QString &image)
        : m_pixmap(image)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setAttribute(Qt::WA_TranslucentBackground, true);
        resize(360, 647);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_pixmap);
        if (m_first) {
            m_first = false;
            BenchStamp::stamp("first-paint");
        }
    }

private:
    QPixmap m_pixmap;
    bool m_first = true;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Dialog dialog(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    return dialog.exec();
}
