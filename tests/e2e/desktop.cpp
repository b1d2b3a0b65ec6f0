// SPDX-License-Identifier: MIT
#include "tests/e2e/desktop.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

#include <vector>

namespace {

// Specks of the colour inside text or borders are not what a person would click.
constexpr int MinRegionPixels = 200;

QString exactTitle(const QString &title)
{
    return QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
}

} // namespace

Desktop::Desktop(const QString &display)
    : m_display(display)
{
}

QByteArray Desktop::run(const QString &program, const QStringList &args, int timeoutMs) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return QByteArray();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    const QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

QString Desktop::visibleWindow(const QString &title) const
{
    const QByteArray out =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), exactTitle(title)});
    const QList<QByteArray> ids = out.trimmed().split('\n');
    return QString::fromLatin1(ids.value(0).trimmed());
}

QString Desktop::waitForWindow(const QString &title, int timeoutMs) const
{
    QString id;
    if (!QTest::qWaitFor([&] { return !(id = visibleWindow(title)).isEmpty(); }, timeoutMs))
        return QString();
    return id;
}

bool Desktop::waitForNoWindow(const QString &title, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return visibleWindow(title).isEmpty(); }, timeoutMs);
}

QRect Desktop::geometry(const QString &window) const
{
    // X=.. Y=.. WIDTH=.. HEIGHT=..
    const QByteArray out = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                           QStringLiteral("--shell"), window});
    int x = 0, y = 0, width = 0, height = 0;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> pair = line.trimmed().split('=');
        if (pair.size() != 2)
            continue;
        const int value = pair.at(1).toInt();
        if (pair.at(0) == "X")
            x = value;
        else if (pair.at(0) == "Y")
            y = value;
        else if (pair.at(0) == "WIDTH")
            width = value;
        else if (pair.at(0) == "HEIGHT")
            height = value;
    }
    return width > 0 ? QRect(x, y, width, height) : QRect();
}

qint64 Desktop::windowPid(const QString &window) const
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), window})
        .trimmed()
        .toLongLong();
}

QStringList Desktop::visibleWindowsOf(qint64 pid) const
{
    const QByteArray out =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--pid"), QString::number(pid)});
    return QString::fromLatin1(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QRect Desktop::waitForColour(QRgb colour, const QRect &area, int timeoutMs) const
{
    QRect region;
    if (!QTest::qWaitFor(
            [&] { return !(region = colourRegion(screenshot(), colour, area)).isNull(); },
            timeoutMs))
        return QRect();
    return region;
}

// No --sync: it waits forever when the pointer is already there, and the X server handles
// the motion before the click anyway.
bool Desktop::click(const QString &window, const QPoint &pos, int button) const
{
    return !run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(pos.x()), QString::number(pos.y()), QStringLiteral("click"),
                 QString::number(button)})
                .isNull();
}

bool Desktop::clickAt(const QPoint &screenPos, int button) const
{
    return moveMouse(screenPos) &&
           !run(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)})
                .isNull();
}

bool Desktop::moveMouse(const QPoint &screenPos) const
{
    return !run(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QString::number(screenPos.x()),
                 QString::number(screenPos.y())})
                .isNull();
}

bool Desktop::type(const QString &text) const
{
    return !run(QStringLiteral("xdotool"),
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text})
                .isNull();
}

bool Desktop::key(const QString &keys) const
{
    return !run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}).isNull();
}

QImage Desktop::screenshot() const
{
    QImage image;
    image.loadFromData(
        run(QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")}),
        "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

QRect Desktop::colourRegion(const QImage &image, QRgb colour, const QRect &area)
{
    const QRect bounds = area.intersected(image.rect());
    const QRgb wanted = colour | 0xff000000u;
    std::vector<bool> seen(size_t(image.width()) * size_t(image.height()), false);
    const auto index = [&](int x, int y) {
        return size_t(y) * size_t(image.width()) + size_t(x);
    };
    const auto matches = [&](int x, int y) {
        return bounds.contains(x, y) && !seen[index(x, y)] &&
               (image.pixel(x, y) | 0xff000000u) == wanted;
    };

    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            if (!matches(x, y))
                continue;
            // Flood the region from here (4-neighbours) and keep its bounding box.
            QRect box(x, y, 1, 1);
            int count = 0;
            std::vector<QPoint> stack{QPoint(x, y)};
            seen[index(x, y)] = true;
            while (!stack.empty()) {
                const QPoint p = stack.back();
                stack.pop_back();
                ++count;
                box = box.united(QRect(p, QSize(1, 1)));
                for (const QPoint &n : {QPoint(p.x() + 1, p.y()), QPoint(p.x() - 1, p.y()),
                                        QPoint(p.x(), p.y() + 1), QPoint(p.x(), p.y() - 1)}) {
                    if (matches(n.x(), n.y())) {
                        seen[index(n.x(), n.y())] = true;
                        stack.push_back(n);
                    }
                }
            }
            if (count >= MinRegionPixels)
                return box;
        }
    }
    return QRect();
}

bool processEnded(qint64 pid)
{
    if (pid <= 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    // "pid (comm) S ...": the state follows the last ')'.
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
}
