// The page store and page list of the main window: import, modify, insert,
// delete, and the scenario file that goes with the project.
#include "app/uMain.h"

#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/Prompter.h"
#include "app/uAdd.h"
#include "app/uModify.h"

#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {
const QString ScenarioFilter =
    QStringLiteral("txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf|剧本文档(*.jb)|*.jb");
} // namespace

void TFrm_Main::BuildPageList()
{
    Richedt_Screen = new PageStore;
    PageList = new PageListModel(*Richedt_Screen, this);
    LstView_Page->setModel(PageList);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(19);
    LstView_Page->setFont(font);
    LstView_Page->setStyleSheet(QStringLiteral("QTableView { color: red; background: white; }"));
    LstView_Page->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    LstView_Page->setColumnWidth(0, 55);
    LstView_Page->setColumnWidth(1, 374);
    LstView_Page->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    LstView_Page->verticalHeader()->setDefaultSectionSize(24);
    LstView_Page->setSortingEnabled(false);

    connect(Btn_LoadScenario, &QPushButton::clicked, this, &TFrm_Main::Btn_LoadScenarioClick);
    connect(Btn_Modify, &QPushButton::clicked, this, &TFrm_Main::Btn_ModifyClick);
    connect(Btn_InputStr, &QPushButton::clicked, this, &TFrm_Main::Btn_InputStrClick);
    connect(Btn_Delete, &QPushButton::clicked, this, &TFrm_Main::Btn_DeleteClick);
    for (QPushButton *b : {Btn_LoadScenario, Btn_Modify, Btn_InputStr, Btn_Delete})
        b->setEnabled(true);
}

int TFrm_Main::SelectedIndex() const
{
    const QModelIndexList rows = LstView_Page->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int TFrm_Main::PageCount() const { return PageList->rowCount(); }

QString TFrm_Main::PageText(int index) const
{
    return PageList->data(PageList->index(index, 1), Qt::DisplayRole).toString();
}

void TFrm_Main::SelectPage(int index)
{
    QItemSelectionModel *selection = LstView_Page->selectionModel();
    if (index < 0 || index >= PageCount()) {
        selection->clear();
        return;
    }
    const QModelIndex at = PageList->index(index, 0);
    selection->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    LstView_Page->scrollTo(at);
}

void TFrm_Main::RebuildPageList()
{
    PageList->RebuildPageList();
    PreparePageLater(0, 300);
    PreparePageLater(1, 300);
}

void TFrm_Main::ClearPageList() { PageList->clearList(); }

QString TFrm_Main::ScenarioPath() const
{
    const QString path = Record().ScenarioFile.text();
    return IsBlank(path) ? QString() : path;
}

void TFrm_Main::LoadScenario(const QString &path)
{
    // Read first: a file that cannot be read leaves the store as it was, and
    // is not overwritten by it at the next save.
    QByteArray bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const VelmoraError &) {
        m_unreadableScenario = path;
        throw;
    }
    m_unreadableScenario.clear();
    Richedt_Screen->load(bytes);
    RebuildPageList();
}

void TFrm_Main::ReloadScenario()
{
    const QString path = ScenarioPath();
    if (!path.isEmpty() && QFile::exists(path))
        LoadScenario(path);
}

void TFrm_Main::SaveScenario()
{
    const QString path = ScenarioPath();
    if (path.isEmpty())
        return;
    try {
        if (path == m_unreadableScenario)
            throw VelmoraError(QStringLiteral("剧本文件未能读入，没有覆盖它：") + path);
        WriteFileSafely(path, Richedt_Screen->save());
    } catch (const VelmoraError &) {
        Project.ProjectSaved = false;   // the pages are not on disk yet
        throw;
    }
}

void TFrm_Main::Btn_LoadScenarioClick()
{
    Guarded([this] {
        Prompter::FileRequest request;
        request.filter = ScenarioFilter;
        const QString path = m_prompter->openFile(this, request);
        if (path.isEmpty())
            return;
        // The project stores the path as at most 255 GBK bytes; a path that
        // does not fit would make the next save write the pages elsewhere.
        const QByteArray stored = ToGbk(path);
        if (!IsGbkEncodable(path) || stored.size() > 255)
            throw VelmoraError(QStringLiteral("剧本文件的路径不能保存到工程中，请换一个文件名或文件夹：") + path);
        const bool exists = QFile::exists(path);
        const QByteArray bytes = exists ? ReadWholeFile(path) : QByteArray();
        Project.ProjectSaved = false;
        Record().ScenarioFile.setText(path);
        Richedt_Screen->load(bytes);
        m_unreadableScenario.clear();
        RebuildPageList();
    });
}

void TFrm_Main::ReplaceStoreAndList(const std::function<void()> &edit, int select)
{
    LstView_Page->setUpdatesEnabled(false);
    edit();
    RebuildPageList();
    SelectPage(select);
    LstView_Page->setUpdatesEnabled(true);
}

namespace {
bool WarnNoSelection(Prompter *prompter, QWidget *owner, int index, const QString &what)
{
    if (index >= 0)
        return false;
    prompter->message(owner, QStringLiteral("请先选择一幕数据再进行") + what, QStringLiteral("提示"),
                      Prompter::Warning, Prompter::Ok);
    return true;
}
} // namespace

void TFrm_Main::Btn_ModifyClick()
{
    const int index = SelectedIndex();
    if (WarnNoSelection(m_prompter, this, index, QStringLiteral("修改")))
        return;
    TFrm_Modify dialog(this);
    dialog.Edt_Modify->setText(PageText(index));
    dialog.pageIndex = index;
    if (dialog.exec() == QDialog::Accepted) {
        const QString text = dialog.Edt_Modify->text();
        ReplaceStoreAndList([&] { Richedt_Screen->replacePage(dialog.pageIndex, text); },
                            dialog.pageIndex);
    }
    Project.ProjectSaved = false;
}

void TFrm_Main::Btn_InputStrClick()
{
    const int index = SelectedIndex();
    if (WarnNoSelection(m_prompter, this, index, QStringLiteral("插入")))
        return;
    TFrm_Add dialog(this);
    dialog.pageIndex = index;
    if (dialog.exec() == QDialog::Accepted) {
        const QString text = dialog.Edt_Add->text();
        int inserted = -1;
        ReplaceStoreAndList([&] { inserted = Richedt_Screen->insertAfterPage(dialog.pageIndex, text); },
                            -1);
        SelectPage(inserted);
    }
    Project.ProjectSaved = false;
}

void TFrm_Main::Btn_DeleteClick()
{
    const int index = SelectedIndex();
    if (WarnNoSelection(m_prompter, this, index, QStringLiteral("删除")))
        return;
    ReplaceStoreAndList([&] { Richedt_Screen->deletePage(index); }, index - 1);
    Project.ProjectSaved = false;
}
