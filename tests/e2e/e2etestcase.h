// SPDX-License-Identifier: MIT
#pragma once

#include "tests/e2e/e2esession.h"

#include <QObject>
#include <QScopedPointer>

// Base of the end-to-end test classes: every test function gets a fresh session, and a
// failed one leaves its diagnostics in the test log.
class E2eTestCase : public QObject
{
    Q_OBJECT

protected:
    AppFolder::Programs m_installed; // the sessions' programs: empty, the built ones
    QScopedPointer<E2eSession> m_session;

private slots:
    void init();
    void cleanup();
};
