// SPDX-License-Identifier: MIT
#include "main/navigationpolicy.h"

#include <QHostAddress>

#include <utility>

namespace NavigationPolicy {

namespace {

bool contains(const QString &text, const QString &part)
{
    return text.indexOf(part, 0, Qt::CaseSensitive) >= 0;
}

bool leavesForBrowser(const QString &url, const QString &baseUrl)
{
    // Previews, notice uploads and exports need the desktop browser's download handling.
    if (contains(url, QLatin1String(OfficeViewerHost))
        || contains(url, QStringLiteral("upload/notice"))
        || contains(url, QStringLiteral("exam/exportStudent.action?")))
        return true;
    // Import pages and the salary template only when asked for exactly, without a query.
    return url == baseUrl + QLatin1String("orvane/user/import/teacher")
        || url == baseUrl + QLatin1String("orvane/user/import/student")
        || url == baseUrl + QLatin1String("orvane/oa/salary/exportSalaryTemplate");
}

bool isWeb(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

int defaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

bool isName(const QString &host)
{
    return !QHostAddress().setAddress(host);
}

// "a.school.test" of "school.test", never "evilschool.test"; an address has no subdomains.
bool isSubdomain(const QString &host, const QString &of)
{
    return isName(of) && host.size() > of.size() && host.endsWith(of, Qt::CaseInsensitive)
        && host.at(host.size() - of.size() - 1) == QLatin1Char('.');
}

// "host" or "host:port" (port -1: any), as a trustedHosts entry names it.
std::pair<QString, int> hostAndPort(const QString &entry)
{
    const QUrl parsed(QStringLiteral("http://") + entry.trimmed());
    return {parsed.host(), parsed.port(-1)};
}

// What a frame may show empty: its own blank document.
bool isEmptyDocument(const QUrl &url)
{
    return url.scheme() == QLatin1String("about")
        && (url.path() == QLatin1String("blank") || url.path() == QLatin1String("srcdoc"));
}

// What may be handed to the desktop: a page for the browser, a mail for the mail client.
// Anything else could start any program that claims the scheme.
bool mayOpenOutside(const QUrl &url)
{
    return isWeb(url) || url.scheme() == QLatin1String("mailto");
}

} // namespace

bool Origins::contains(const QUrl &url) const
{
    // "blob:http://host:port/uuid": what a page of that origin made.
    if (url.scheme() == QLatin1String("blob"))
        return contains(QUrl(url.path()));
    if (!isWeb(url) || url.host().isEmpty())
        return false;
    const QUrl base(baseUrl);
    const QString host = url.host();
    const int port = url.port(defaultPort(url));
    const bool samePlace = url.scheme() == base.scheme() && port == base.port(defaultPort(base));
    if (samePlace && (host == base.host() || isSubdomain(host, base.host())))
        return true;
    for (const QString &entry : trustedHosts) {
        const auto [trusted, trustedPort] = hostAndPort(entry);
        if ((host == trusted || isSubdomain(host, trusted))
            && (trustedPort < 0 || port == trustedPort))
            return true;
    }
    return false;
}

Decision decide(const QUrl &url, Kind kind, bool mainFrame, const Origins &origins, bool userActed)
{
    const QString text = url.toString();
    Decision decision;
    switch (kind) {
    case Kind::LinkClicked:
        decision.logUrl = !mainFrame;
        decision.setsSubSystemLogin = true;
        decision.subSystemLogin = contains(text, QStringLiteral("dedeLogin"))
            || contains(text, QStringLiteral("zariLogin"));
        decision.openOutside = leavesForBrowser(text, origins.baseUrl);
        break;
    case Kind::FormSubmitted:
        decision.logUrl = true;
        decision.openOutside = contains(text, QStringLiteral("classAttendanceListExport"));
        break;
    case Kind::BackForward:
    case Kind::Reload:
    case Kind::Other:
        break;
    }
    // The main window shows web pages only: a blob: page, even the platform's, holds whatever
    // its maker wrote.
    const bool trusted = origins.contains(url) && (isWeb(url) || !mainFrame);
    const bool clickedOrSubmitted = kind == Kind::LinkClicked || kind == Kind::FormSubmitted;
    if (!decision.openOutside && !trusted) {
        if (isWeb(url)) {
            // What the user asked for elsewhere opens outside. Anything else is refused: in the
            // main frame (a script, a redirect, a frame breaking out, a window a script opened)
            // and in a frame (a page of another site is never requested). History and reloads
            // keep what the main frame had.
            if (clickedOrSubmitted)
                decision.openOutside = true;
            else if (!mainFrame || kind == Kind::Other)
                decision.refuse = decision.logUrl = true;
        } else if (mainFrame || !isEmptyDocument(url)) {
            // about:blank, data:, blob: and javascript: never take the main window, where a page
            // could write anything under the platform's name; a frame may be empty.
            decision.openOutside = clickedOrSubmitted && url.scheme() == QLatin1String("mailto");
            decision.refuse = decision.logUrl = !decision.openOutside;
        }
    }
    // Whatever matched, only a page or a mail leaves, and only when the user just acted in the
    // view: another scheme could start any program, and a page's script could open the desktop
    // browser again and again.
    if (decision.openOutside && (!mayOpenOutside(url) || !userActed)) {
        decision.openOutside = false;
        decision.refuse = decision.logUrl = true;
    }
    decision.refuse = decision.refuse || decision.openOutside;
    return decision;
}

} // namespace NavigationPolicy
