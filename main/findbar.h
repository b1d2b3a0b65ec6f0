// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace Ui {
class FindBar;
}

// Finding text in the page: Enter for the next match, Shift+Enter for the previous one,
// Escape to close; "无匹配" when there is none.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);
    ~FindBar() override;

    // Shows the bar with its text selected, ready for typing.
    void open();
    void setFound(bool found);

signals:
    void find(const QString &text, bool backward);
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::FindBar *ui;
};
