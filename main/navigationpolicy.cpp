// SPDX-License-Identifier: MIT
#include "main/navigationpolicy.h"

namespace NavigationPolicy {

namespace {

bool contains(const QString &text, const QString &part)
{
    return text.indexOf(part, 0, Qt::CaseSensitive) >= 0;
}

bool leavesForBrowser(const QString &url, const QString &baseUrl, const QString &officeViewerHost)
{
    // Previews, notice uploads and exports need the desktop browser's download handling.
    if (contains(url, officeViewerHost) || contains(url, QStringLiteral("upload/notice"))
        || contains(url, QStringLiteral("exam/exportStudent.action?")))
        return true;
    // Import pages and the salary template only when asked for exactly, without a query.
    return url == baseUrl + QLatin1String("orvane/user/import/teacher")
        || url == baseUrl + QLatin1String("orvane/user/import/student")
        || url == baseUrl + QLatin1String("orvane/oa/salary/exportSalaryTemplate");
}

} // namespace

Decision decide(const QString &urlText, Kind kind, bool mainFrame, const QString &baseUrl,
                const QString &officeViewerHost)
{
    Decision decision;
    switch (kind) {
    case Kind::LinkClicked:
        decision.logUrl = !mainFrame;
        decision.setsSubSystemLogin = true;
        decision.subSystemLogin = contains(urlText, QStringLiteral("dedeLogin"))
            || contains(urlText, QStringLiteral("zariLogin"));
        decision.openOutside = leavesForBrowser(urlText, baseUrl, officeViewerHost);
        break;
    case Kind::FormSubmitted:
        decision.logUrl = true;
        decision.openOutside = contains(urlText, QStringLiteral("classAttendanceListExport"));
        break;
    case Kind::Other:
        break;
    }
    return decision;
}

} // namespace NavigationPolicy
