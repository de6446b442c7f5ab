// The main window's 帮助 menu: the manual, the key table and the About box.
#include "app/uMain.h"

#include "app/uAbout.h"
#include "help/HelpKey.h"
#include "help/KeyTable.h"
#include "help/Manual.h"
#include "help/uKeys.h"
#include "help/uManual.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void TFrm_Main::SetupHelp()
{
    N_Help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    N_Help->setObjectName(QStringLiteral("N_Help"));
    N_Manual = N_Help->addAction(QStringLiteral("使用说明(&M)"), this, &TFrm_Main::N_ManualClick);
    N_Manual->setObjectName(QStringLiteral("N_Manual"));
    N_Keys = N_Help->addAction(QStringLiteral("快捷键一览(&K)"), this, &TFrm_Main::N_KeysClick);
    N_Keys->setObjectName(QStringLiteral("N_Keys"));
    N_Help->addSeparator();
    N_About = N_Help->addAction(QStringLiteral("关于(&A)"), this, &TFrm_Main::ShowAbout);
    N_About->setObjectName(QStringLiteral("N_About"));
    new HelpKey(this);
    InstallWindowKeys(this);
}

// One manual window beside the main window, brought forward when open.
void TFrm_Main::N_ManualClick()
{
    if (!Frm_Manual)
        Frm_Manual = new TFrm_Manual(ManualFolder(), this);
    Frm_Manual->show();
    Frm_Manual->raise();
    Frm_Manual->activateWindow();
}

void TFrm_Main::N_KeysClick()
{
    if (!Frm_Keys)
        Frm_Keys = new TFrm_Keys(this);
    Frm_Keys->show();
    Frm_Keys->raise();
    Frm_Keys->activateWindow();
}

void TFrm_Main::ShowAbout()
{
    TAboutBox box(this);
    box.exec();
}
