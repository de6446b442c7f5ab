// The main window's "剧本" button: the scenario editor, modal. The editor
// stands apart from the project; nothing is taken from it when it closes.
#include "app/uMain.h"

#include "editor/tablet.h"

void TFrm_Main::ToolButton3Click()
{
    TFrm_Tablet tablet(prompter(), this);
    tablet.exec();
}
