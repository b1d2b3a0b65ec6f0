// SPDX-License-Identifier: MIT
// The frame's nine-slice background on a 1094 x 914 window: the first paint, which decodes the
// image and renders the background, a render from the already decoded image, and a repaint at
// the same size, which reuses the background, beside the floor of such a repaint: a bare widget
// blitting a ready pixmap of that size. JSON on standard output.
#include "frame/clwdialog.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double usSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

std::string list(const std::vector<double> &v)
{
    std::string s = "[";
    for (std::size_t i = 0; i < v.size(); ++i)
        s += (i ? "," : "") + std::to_string(v[i]);
    return s + "]";
}

class Blit : public QWidget
{
public:
    explicit Blit(const QPixmap &pixmap)
        : m_pixmap(pixmap)
    {
        setAttribute(Qt::WA_TranslucentBackground, true);
        resize(pixmap.size());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_pixmap);
    }

private:
    QPixmap m_pixmap;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    const int repaints = 20;
    QImage target(1094, 914, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> first, rendered, cached, blit;
    auto newDialog = [] {
        auto *dialog = new CLWDialog;
        dialog->setAttribute(Qt::WA_TranslucentBackground, true);
        dialog->setBackgroundImage(QStringLiteral(":/mianbk"), 20, 20, 20, 20);
        dialog->resize(1094, 914);
        return dialog;
    };
    for (int r = 0; r < runs + 1; ++r) {
        // QPixmap::load keeps decoded images in Qt's pixmap cache, so only with the cache
        // emptied does the first paint decode the image, as a new process's window does.
        QPixmapCache::clear();
        const std::unique_ptr<CLWDialog> dialog(newDialog());
        auto start = Clock::now();
        dialog->render(&target);
        const double firstUs = usSince(start);
        start = Clock::now();
        for (int i = 0; i < repaints; ++i)
            dialog->render(&target);
        const double cachedUs = usSince(start) / repaints;

        // A second window of that size renders from the decoded image the first one left in
        // the pixmap cache: the nine pieces alone, as after a resize.
        const std::unique_ptr<CLWDialog> again(newDialog());
        start = Clock::now();
        again->render(&target);
        const double renderedUs = usSince(start);

        QPixmap ready(1094, 914);
        ready.fill(Qt::transparent);
        {
            QPainter painter(&ready);
            dialog->render(&painter);
        }
        Blit bare(ready);
        bare.render(&target);
        start = Clock::now();
        for (int i = 0; i < repaints; ++i)
            bare.render(&target);
        const double blitUs = usSince(start) / repaints;
        if (r == 0)
            continue; // warm-up
        first.push_back(firstUs);
        rendered.push_back(renderedUs);
        cached.push_back(cachedUs);
        blit.push_back(blitUs);
    }
    std::printf("{\"first_us\":%s,\"rendered_us\":%s,\"cached_us\":%s,\"blit_us\":%s}\n",
                list(first).c_str(), list(rendered).c_str(), list(cached).c_str(),
                list(blit).c_str());
    return 0;
}
