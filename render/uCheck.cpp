#include "render/uCheck.h"

#include "app/PageStore.h"
#include "app/Prompter.h"
#include "app/Struct.h"
#include "app/uMain.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

TFrm_Check::TFrm_Check(const TScenarioCheck &check, int pageCount, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Frm_Check"));
    setWindowTitle(QStringLiteral("检查剧本"));
    Lbl_Summary = new QLabel(
        check.problems.isEmpty()
            ? QStringLiteral("共%1幕，没有发现问题。").arg(pageCount)
            : QStringLiteral("共%1幕，以下%2幕在显示屏上显示不好，单击一行可选中该幕：")
                  .arg(pageCount).arg(check.problems.size()));
    LstView_Problems = new QTableWidget(int(check.problems.size()), 3);
    LstView_Problems->setObjectName(QStringLiteral("LstView_Problems"));
    LstView_Problems->setHorizontalHeaderLabels(
        {QStringLiteral("幕"), QStringLiteral("内容"), QStringLiteral("问题")});
    LstView_Problems->verticalHeader()->hide();
    LstView_Problems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LstView_Problems->setSelectionBehavior(QAbstractItemView::SelectRows);
    LstView_Problems->setSelectionMode(QAbstractItemView::SingleSelection);
    LstView_Problems->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < check.problems.size(); ++row) {
        const TPageProblem &problem = check.problems[row];
        auto *number = new QTableWidgetItem(QString::number(problem.page + 1));
        number->setData(Qt::UserRole, problem.page);
        LstView_Problems->setItem(row, 0, number);
        LstView_Problems->setItem(row, 1, new QTableWidgetItem(problem.text));
        auto *reasons = new QTableWidgetItem(problem.reasons.join(QStringLiteral("；")));
        reasons->setToolTip(problem.reasons.join(QLatin1Char('\n')));
        LstView_Problems->setItem(row, 2, reasons);
    }
    LstView_Problems->resizeColumnToContents(0);
    LstView_Problems->setColumnWidth(1, 200);   // a long page is cut; its reasons are not
    connect(LstView_Problems, &QTableWidget::cellClicked, this, [this](int row) {
        emit pageChosen(LstView_Problems->item(row, 0)->data(Qt::UserRole).toInt());
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Lbl_Summary);
    layout->addWidget(LstView_Problems);
    resize(640, 360);
}

void TFrm_Main::N_CheckClick()
{
    QStringList pages;
    for (int i = 0; i < PageCount(); ++i)
        pages << PageText(i);
    // A long scenario takes seconds: the window keeps answering meanwhile,
    // and the command waits for the check under way.
    N_Check->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TScenarioCheck check =
        CheckScenario(PageFontOf(Record()), PageRequestOf(Record(), QString(), 0, 0, 0), pages,
                      [](int) { ProcessPendingMessages(); });
    AddCueTimeProblems(check, pages, Richedt_Screen->pageTimes());
    QApplication::restoreOverrideCursor();
    N_Check->setEnabled(true);
    if (!check.error.isEmpty()) {
        prompter()->message(this, check.error, QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
        return;
    }
    // Not modal: the operator looks at each listed page while the list stays open.
    auto *window = new TFrm_Check(check, int(pages.size()), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &TFrm_Check::pageChosen, this, &TFrm_Main::SelectPage);
    window->show();
}
