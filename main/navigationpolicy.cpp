// SPDX-License-Identifier: MIT
#include "main/navigationpolicy.h"

#include <QHostAddress>

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

// What may be handed to the desktop: a page for the browser, a mail for the mail client.
// Anything else could start any program that claims the scheme.
bool mayOpenOutside(const QUrl &url)
{
    return isWeb(url) || url.scheme() == QLatin1String("mailto");
}

} // namespace

bool Origins::contains(const QUrl &url) const
{
    const QUrl base(baseUrl);
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.scheme() == base.scheme() && url.host() == base.host()
        && url.port(defaultPort) == base.port(defaultPort))
        return true;
    if (!isWeb(url) || url.host().isEmpty())
        return false;
    const QString host = url.host();
    // A subdomain ends in "." and the whole name: "evilschool.test" is not one of school.test.
    const bool isName = !QHostAddress().setAddress(base.host());
    if (isName && host.endsWith(QLatin1Char('.') + base.host()))
        return true;
    return trustedHosts.contains(host, Qt::CaseInsensitive);
}

Decision decide(const QUrl &url, Kind kind, bool mainFrame, const Origins &origins)
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
    // Only the platform's pages show in the main window: what the user asked for elsewhere
    // opens outside, anything else is refused. History and reloads keep what the view had, and
    // frames of other sites may still load inside a platform page.
    if (!decision.openOutside && mainFrame && !origins.contains(url)) {
        switch (kind) {
        case Kind::LinkClicked:
        case Kind::FormSubmitted:
            decision.openOutside = true;
            break;
        case Kind::Other:
            decision.refuse = decision.logUrl = url != QUrl(QStringLiteral("about:blank"));
            break;
        case Kind::BackForward:
        case Kind::Reload:
            break;
        }
    }
    // Whatever matched, only a page or a mail leaves: another scheme could start any program.
    if (decision.openOutside && !mayOpenOutside(url)) {
        decision.openOutside = false;
        decision.refuse = decision.logUrl = true;
    }
    decision.refuse = decision.refuse || decision.openOutside;
    return decision;
}

} // namespace NavigationPolicy
