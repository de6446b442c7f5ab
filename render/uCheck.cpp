#include "render/uCheck.h"

#include "app/Errors.h"
#include "app/PageStore.h"
#include "app/Prompter.h"
#include "app/Struct.h"
#include "app/uMain.h"
#include "remote/ShowLanguages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString MinHeightKey = QStringLiteral("CheckMinCharHeight");

// The smallest character height the operator last set in the window.
int StoredMinCharHeight()
{
    try {
        bool valid = false;
        const int pixels = ReadRegString(MinHeightKey, QString()).toInt(&valid);
        return valid && pixels >= 1 && pixels <= MaxDisplayHeight ? pixels : DefaultMinCharHeight;
    } catch (const VelmoraError &) {
        return DefaultMinCharHeight;
    }
}

void StoreMinCharHeight(int pixels)
{
    // A preference: where it cannot be stored, the window still checks with
    // it, and the next check starts from the default.
    try {
        WriteRegString(MinHeightKey, QString::number(pixels));
    } catch (const VelmoraError &) {
    }
}
} // namespace

TFrm_Check::TFrm_Check(const TScenarioCheck &check, std::function<TScenarioCheck(int)> rerun,
                       int pageCount, int minHeight, QWidget *parent)
    : QDialog(parent), m_rerun(std::move(rerun)), m_pageCount(pageCount)
{
    setObjectName(QStringLiteral("Frm_Check"));
    setWindowTitle(QStringLiteral("检查剧本"));
    SpnEdt_MinHeight = new QSpinBox;
    SpnEdt_MinHeight->setObjectName(QStringLiteral("SpnEdt_MinHeight"));
    SpnEdt_MinHeight->setRange(1, MaxDisplayHeight);
    SpnEdt_MinHeight->setSuffix(QStringLiteral(" 像素"));
    SpnEdt_MinHeight->setValue(minHeight);
    Lbl_Summary = new QLabel;
    Lbl_Project = new QLabel;
    Lbl_Project->setObjectName(QStringLiteral("Lbl_Project"));
    Lbl_Project->setWordWrap(true);
    LstView_Problems = new QTableWidget(0, 3);
    LstView_Problems->setObjectName(QStringLiteral("LstView_Problems"));
    LstView_Problems->setHorizontalHeaderLabels(
        {QStringLiteral("幕"), QStringLiteral("内容"), QStringLiteral("问题")});
    LstView_Problems->verticalHeader()->hide();
    LstView_Problems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LstView_Problems->setSelectionBehavior(QAbstractItemView::SelectRows);
    LstView_Problems->setSelectionMode(QAbstractItemView::SingleSelection);
    LstView_Problems->horizontalHeader()->setStretchLastSection(true);
    LstView_Problems->setColumnWidth(1, 200);   // a long page is cut; its reasons are not
    connect(LstView_Problems, &QTableWidget::cellClicked, this, &TFrm_Check::ChooseRow);
    // Enter on the current row (the view reports it as activated).
    connect(LstView_Problems, &QTableWidget::activated, this,
            [this](const QModelIndex &index) { ChooseRow(index.row()); });
    // A new height is taken when typing ends, not at every digit.
    SpnEdt_MinHeight->setKeyboardTracking(false);
    connect(SpnEdt_MinHeight, &QSpinBox::valueChanged, this, [this](int pixels) {
        emit minHeightChanged(pixels);
        Recheck();
    });

    auto *heightRow = new QHBoxLayout;
    auto *heightLabel = new QLabel(QStringLiteral("最小字高"));
    heightLabel->setBuddy(SpnEdt_MinHeight);
    heightRow->addWidget(heightLabel);
    heightRow->addWidget(SpnEdt_MinHeight);
    heightRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heightRow);
    layout->addWidget(Lbl_Summary);
    layout->addWidget(Lbl_Project);
    layout->addWidget(LstView_Problems);
    resize(640, 360);
    ShowCheck(check);
    LstView_Problems->setFocus();
}

void TFrm_Check::Recheck()
{
    // The box waits for the check under way, which keeps the window answering.
    SpnEdt_MinHeight->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TScenarioCheck check = m_rerun(SpnEdt_MinHeight->value());
    QApplication::restoreOverrideCursor();
    SpnEdt_MinHeight->setEnabled(true);
    ShowCheck(check);
}

void TFrm_Check::ShowCheck(const TScenarioCheck &check)
{
    if (!check.error.isEmpty())
        Lbl_Summary->setText(check.error);
    else if (check.clean())
        Lbl_Summary->setText(QStringLiteral("共%1幕，没有发现问题。").arg(m_pageCount));
    else if (check.problems.isEmpty())
        Lbl_Summary->setText(QStringLiteral("共%1幕，没有单独一幕的问题。").arg(m_pageCount));
    else
        Lbl_Summary->setText(
            QStringLiteral("共%1幕，以下%2幕在显示屏上显示不好，单击一行或按回车键可选中该幕：")
                .arg(m_pageCount).arg(check.problems.size()));
    Lbl_Project->setText(QStringLiteral("所有幕：") + check.projectProblems.join(QStringLiteral("；")));
    Lbl_Project->setVisible(!check.projectProblems.isEmpty());
    LstView_Problems->setRowCount(int(check.problems.size()));
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
    // The arrow keys start from the first row.
    if (!check.problems.isEmpty())
        LstView_Problems->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
}

void TFrm_Check::ChooseRow(int row)
{
    if (const QTableWidgetItem *number = LstView_Problems->item(row, 0))
        emit pageChosen(number->data(Qt::UserRole).toInt());
}

void TFrm_Main::N_CheckClick()
{
    QStringList pages;
    for (int i = 0; i < PageCount(); ++i)
        pages << PageText(i);
    // A long scenario takes seconds: the window keeps answering meanwhile,
    // and the command waits for the check under way.
    // The translations are the project's files: read once, whatever height is asked.
    const QStringList translationProblems =
        Project.CurFileName.isEmpty() ? QStringList()
                                      : ShowLanguages::read(Project.CurFileName).problems(*Richedt_Screen);
    const auto run = [this, pages, times = Richedt_Screen->pageTimes(), font = PageFontOf(Record()),
                      displays = PageRequestOf(Record(), QString(), 0, 0, 0), translationProblems](int minHeight) {
        N_Check->setEnabled(false);
        TScenarioCheck check = CheckScenario(font, displays, pages,
                                             [](int) { ProcessPendingMessages(); }, minHeight);
        AddCueTimeProblems(check, pages, times);
        check.projectProblems << translationProblems;
        N_Check->setEnabled(true);
        return check;
    };
    const int minHeight = StoredMinCharHeight();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TScenarioCheck check = run(minHeight);
    QApplication::restoreOverrideCursor();
    if (!check.error.isEmpty()) {
        prompter()->message(this, check.error, QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
        return;
    }
    // Not modal: the operator looks at each listed page while the list stays open.
    auto *window = new TFrm_Check(check, run, int(pages.size()), minHeight, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &TFrm_Check::pageChosen, this, &TFrm_Main::SelectPage);
    connect(window, &TFrm_Check::minHeightChanged, this, &StoreMinCharHeight);
    window->show();
}
