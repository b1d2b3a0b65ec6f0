// SPDX-License-Identifier: MIT
#pragma once

#include "frame/pointerevents.h"

#include <QDialog>
#include <QPoint>
#include <QString>

class QEvent;
class QMenu;
class QMouseEvent;
class QPaintEvent;
class QShowEvent;
class QTimerEvent;
class QUdpSocket;

namespace Ui {
class CTool;
}

// The floating button of OrvaneTool: docks at the right screen edge and slides aside when the
// mouse leaves it; its left part is a drag handle with a menu, its right part asks Orvane for
// the classroom page. It toggles on every datagram from Orvane and is accepted once Orvane is
// no longer running: no process of this user has its name, or the Orvane that started the tool
// is gone (another one of the user's runs has its own tool).
class CTool : public QDialog
{
    Q_OBJECT

public:
    static constexpr int WatchInterval = 10000; // ms between two looks for the main program

    explicit CTool(QWidget *parent = nullptr);
    ~CTool() override;

    static bool isProcessRunning(const QString &fileName);

public slots:
    void readPendingDatagrams();
    void showTool();
    void showWindow();
    void closeWindow();

protected:
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(EnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void handleCommand(const QString &command);
    void sendDirectClassroom();
    void showContextMenu(const QPoint &screenPos);
    void startSlide(bool out);
    bool orvaneGone() const;

    Ui::CTool *ui = nullptr;
    bool m_firstShow = true;
    // True from the start: a move with the left button held drags the window even before
    // the first press has been seen.
    bool m_dragging = true;
    bool m_mouseOutside = true;
    bool m_slidingOut = false;
    int m_availHeight = 0;
    int m_availWidth = 0;
    int m_slideTimer = 0;
    int m_watchTimer = 0;
    int m_slideStep = 5;
    int m_dockedStrip = 35;
    int m_mainPort = 0;
    int m_toolPort = 0;
    long m_parentPid = 0; // the Orvane that started the tool; 0: started otherwise
    QUdpSocket *m_udpSocket = nullptr;
    QPoint m_pressPos;
    QMenu *m_contextMenu = nullptr;
};
