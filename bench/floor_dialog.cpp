// SPDX-License-Identifier: MIT
// The floor of Orvane's start: a bare Qt program showing a 360 x 647 frameless translucent
// dialog that paints one pixmap. Stamps like Orvane under ORVANE_BENCH_STAMPS.
#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPixmap>

#include <chrono>
#include <cstdio>

namespace {

void stamp(const char *event)
{
    if (!qEnvironmentVariableIsSet("ORVANE_BENCH_STAMPS"))
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    std::fprintf(stderr, "orvane-bench %s %lld\n", event, static_cast<long long>(ns));
    std::fflush(stderr);
}

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
            stamp("first-paint");
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
