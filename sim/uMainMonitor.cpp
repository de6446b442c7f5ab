// The main window's part of the LED monitor: the tap that every port's writes
// go through, and the menu item that shows the monitor.
#include "app/uMain.h"

#include "sim/WireTap.h"
#include "sim/uMonitor.h"

#include <QAction>
#include <QMenu>

void TFrm_Main::SetupMonitor()
{
    Tap = new WireTap(&Record(), this);
    N_Monitor = new QAction(QStringLiteral("LED监视器(&M)"), this);
    N_Monitor->setObjectName(QStringLiteral("N_Monitor"));
    N_Send->addSeparator();
    N_Send->addAction(N_Monitor);
    connect(N_Monitor, &QAction::triggered, this, &TFrm_Main::N_MonitorClick);
}

void TFrm_Main::N_MonitorClick()
{
    if (!Frm_Monitor)
        Frm_Monitor = new TFrm_Monitor(Tap, &Record(), this);
    Frm_Monitor->Refresh();
    Frm_Monitor->show();
    Frm_Monitor->raise();
    Frm_Monitor->activateWindow();
}
