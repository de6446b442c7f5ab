// The main window's "剧本" button: the scenario editor, modal. The editor
// stands apart from the project; only when it saves the project's scenario
// file is the operator offered to re-import it.
#include "app/uMain.h"

#include "editor/tablet.h"

void TFrm_Main::ToolButton3Click()
{
    const SetUpScope setUp(*this);
    TFrm_Tablet tablet(prompter(), this);
    connect(&tablet, &TFrm_Tablet::documentSaved, this,
            [this, &tablet](const QString &path) { ScenarioEdited(path, &tablet); });
    tablet.exec();
}
