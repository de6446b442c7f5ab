// The result window of "检查剧本": the pages that will not read well on the
// sign, with the reasons. A click on a row asks for that page to be selected;
// the window changes nothing itself.
#pragma once

#include "render/ScenarioCheck.h"

#include <QDialog>

class QLabel;
class QTableWidget;

class TFrm_Check : public QDialog {
    Q_OBJECT
public:
    TFrm_Check(const TScenarioCheck &check, int pageCount, QWidget *parent);

    QLabel *Lbl_Summary;
    QTableWidget *LstView_Problems;   // columns "幕", "内容", "问题"

signals:
    void pageChosen(int page);
};
