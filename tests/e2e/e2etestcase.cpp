// SPDX-License-Identifier: MIT
#include "tests/e2e/e2etestcase.h"

#include "tests/support/testsupport.h"

#include <QDebug>
#include <QTest>

void E2eTestCase::init()
{
    if (qEnvironmentVariable("ORVANE_E2E_ENGINE") == QLatin1String("webkit")
        && !TestSupport::hasWebKit())
        QSKIP(TestSupport::NoWebKit);
    m_session.reset(new E2eSession(m_installed));
    QVERIFY2(m_session->start(), qPrintable(m_session->error()));
}

void E2eTestCase::cleanup()
{
    if (QTest::currentTestFailed())
        qInfo().noquote() << m_session->diagnostics();
    m_session.reset();
}
