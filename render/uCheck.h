// The result window of "检查剧本": the problems of the whole project above,
// the pages that will not read well on the sign below, with the reasons. A
// click on a row, or Enter on the row chosen with the arrow keys, asks for
// that page to be selected; the window changes nothing itself. The smallest
// character height it accepts is set in the window, and the check is run
// again with it.
#pragma once

#include "render/ScenarioCheck.h"

#include <QDialog>

#include <functional>

class QLabel;
class QSpinBox;
class QTableWidget;

class TFrm_Check : public QDialog {
    Q_OBJECT
public:
    // check was made with minHeight; rerun checks the pages again with the
    // height the operator sets.
    TFrm_Check(const TScenarioCheck &check, std::function<TScenarioCheck(int)> rerun, int pageCount,
               int minHeight, QWidget *parent);

    QSpinBox *SpnEdt_MinHeight;       // label "最小字高"
    QLabel *Lbl_Summary;
    QLabel *Lbl_Project;              // the project's problems, hidden without
    QTableWidget *LstView_Problems;   // columns "幕", "内容", "问题"

signals:
    void pageChosen(int page);
    void minHeightChanged(int pixels);

private:
    void Recheck();
    void ShowCheck(const TScenarioCheck &check);
    void ChooseRow(int row);

    std::function<TScenarioCheck(int)> m_rerun;
    int m_pageCount;
};
