// SPDX-License-Identifier: MIT
#pragma once

#include "tests/e2e/childprocess.h"

// orvane-demo-service on a free port of 127.0.0.1, with the requests it logs.
class DemoService : public ChildProcess
{
public:
    bool start(const QStringList &options = {});
    // "http://127.0.0.1:<port>/"
    QString baseUrl() const { return readyText(); }

    // The logged requests that match ("METHOD /path?query STATUS" lines).
    QStringList requests(const QString &pattern = QStringLiteral(".*"));
    // Waits until a logged request matches.
    bool waitForRequest(const QString &pattern, int timeoutMs = 20000);
};
