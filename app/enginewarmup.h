// SPDX-License-Identifier: MIT
#pragma once

#include "common/appconfig.h"

#include <QObject>

class Login;

// The web engine's slow first steps, taken while the login window waits: its files are read
// into memory once the window has painted, and the engine starts once a login is on its way
// (automatic or typed). The window's first paint never waits for either.
class EngineWarmUp final : public QObject
{
    Q_OBJECT

public:
    EngineWarmUp(Login *login, const AppConfig::Config &config);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startWhenReady();

    const AppConfig::Config m_config;
    bool m_painted = false;
    bool m_loginStarted = false;
    bool m_started = false;
};
