// SPDX-License-Identifier: MIT
#include "tests/e2e/demoservice.h"

#include "tests/support/testsupport.h"

#include <QTest>

bool DemoService::start(const QStringList &options)
{
    return ChildProcess::start(TestSupport::program(QStringLiteral("orvane-demo-service")),
                               QStringList{QStringLiteral("--port"), QStringLiteral("0")} + options,
                               QRegularExpression(QStringLiteral("listening on (\\S+/)$")));
}

QStringList DemoService::requests(const QString &pattern)
{
    return errorLines().filter(QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')));
}

bool DemoService::waitForRequest(const QString &pattern, int timeoutMs)
{
    return QTest::qWaitFor([&] { return !requests(pattern).isEmpty(); }, timeoutMs);
}
