// SPDX-License-Identifier: MIT
#pragma once

#include "main/browsing.h"

#include <QWidget>

namespace Ui {
class FailurePanel;
}

// Shown over the view when a page of the platform could not be loaded: what went wrong in
// plain words, a retry button, and the countdown to the next retry of its own.
class FailurePanel : public QWidget
{
    Q_OBJECT

public:
    explicit FailurePanel(QWidget *parent = nullptr);
    ~FailurePanel() override;

    // seconds: until the automatic retry; below 0, none.
    void showFailure(const Browsing::Message &message, int seconds);
    // No automatic retry after all: the user went elsewhere.
    void stopCountdown();

signals:
    void retryRequested();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void showCountdown();

    Ui::FailurePanel *ui;
    int m_seconds = -1;
    int m_timer = 0;
};
