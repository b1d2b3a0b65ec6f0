// SPDX-License-Identifier: MIT
#include "app/enginewarmup.h"

#include "login/login.h"
#include "main/maindialog.h"
#include "main/webengines.h"

#include <QEvent>
#include <QTimer>

EngineWarmUp::EngineWarmUp(Login *login, const AppConfig::Config &config)
    : QObject(login)
    , m_config(config)
{
    login->installEventFilter(this);
    connect(login, &Login::loginStarted, this, [this] {
        m_loginStarted = true;
        startWhenReady();
    });
}

bool EngineWarmUp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        watched->removeEventFilter(this);
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, [this] {
            WebEngines::readAhead(WebEngines::fromConfig(m_config.engine));
            startWhenReady();
        });
    }
    return false;
}

void EngineWarmUp::startWhenReady()
{
    if (!m_painted || !m_loginStarted || m_started)
        return;
    m_started = true;
    QTimer::singleShot(0, this, [this] { MainDialog::prepareEngine(m_config, parent()); });
}
