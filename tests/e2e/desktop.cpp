// SPDX-License-Identifier: MIT
#include "tests/e2e/desktop.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

namespace {

// Specks of the colour inside text or borders are not what a person would click.
constexpr int MinRun = 12;

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
    const QByteArray out = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
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
    const QByteArray out =
        run(QStringLiteral("xdotool"),
            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
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
    const QByteArray out = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
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
    return moveMouse(screenPos)
        && !run(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)})
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
    // The first run of at least MinRun pixels of the colour, top to bottom, and the rows below
    // it where the run's middle keeps the colour: the tiles and buttons are solid rectangles.
    const QRect bounds = area.intersected(image.rect());
    const auto is = [&](int x, int y) {
        return (image.pixel(x, y) | 0xff000000u) == (colour | 0xff000000u);
    };
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(), run = 0; x <= bounds.right(); ++x) {
            run = is(x, y) ? run + 1 : 0;
            if (run < MinRun || (x < bounds.right() && is(x + 1, y)))
                continue;
            const int middle = x - run / 2;
            int bottom = y;
            while (bottom < bounds.bottom() && is(middle, bottom + 1))
                ++bottom;
            if (bottom - y + 1 >= MinRun / 2)
                return QRect(QPoint(x - run + 1, y), QPoint(x, bottom));
            run = 0;
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
