// The page store and page list of the main window: import, modify, insert,
// delete, and the scenario file that goes with the project.
#include "app/uMain.h"

#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/ScenarioEncodings.h"
#include "app/ScenarioPreload.h"
#include "app/Prompter.h"
#include "app/uAdd.h"
#include "app/uModify.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace {
const int WidthCheckDelayMs = 2000;
const QString ScenarioFilter =
    QStringLiteral("txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf|剧本文档(*.jb)|*.jb");
} // namespace

void TFrm_Main::BuildPageList()
{
    Richedt_Screen = new PageStore;
    PageList = new PageListModel(*Richedt_Screen, this);
    // The list asks the model for rows until the window's widgets are gone;
    // the store goes with the model, the last of them.
    connect(PageList, &QObject::destroyed, [store = Richedt_Screen] { delete store; });
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
    Show->forgetPages();   // page numbers may name other lines now
    PageList->RebuildPageList();
    UpdateNowNext();   // what Space sends next is a line of the new list
    PreparePageLater(0, 300);
    PreparePageLater(1, 300);
}

void TFrm_Main::ClearPageList() { PageList->clearList(); }

QString TFrm_Main::ScenarioPath(const QString &projectFile) const
{
    return ResolveScenarioPath(Record().ScenarioFile.text(), projectFile);
}

void TFrm_Main::ForgetPages()
{
    AwaitScenario();
    Richedt_Screen->clear();
    RebuildPageList();
}

void TFrm_Main::LoadScenario(const QString &path)
{
    AwaitScenario();
    QByteArray bytes;
    try {
        bytes = ReadScenarioFile(path);
    } catch (const VelmoraError &) {
        // No other scenario's pages may stay under this project, and the file
        // that could not be read is not overwritten at the next save.
        ForgetPages();
        m_unreadableScenario = path;
        throw;
    }
    Richedt_Screen->load(bytes, ScenarioEncoding(path, bytes));
    ScenarioLoaded(path, bytes);
}

void TFrm_Main::ScenarioLoaded(const QString &path, const QByteArray &bytes, bool exists)
{
    m_unreadableScenario.clear();
    m_missingScenario.clear();
    m_invalidBytesAccepted = false;
    m_scenarioSnapshot = FileSnapshot::of(path, bytes, exists);
    if (exists)
        RememberEncoding(path, Richedt_Screen->encoding());
    RebuildPageList();
    if (const int line = Richedt_Screen->firstInvalidLine()) {
        const QString bad = QStringLiteral("剧本文件第%1行不是有效的UTF-8").arg(line);
        StatusPanel[2]->setText(bad);
        m_prompter->message(this,
                            QStringLiteral("%1：%2\n无效的字节显示为“�”，保存时原样保留。")
                                .arg(bad, path),
                            QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
    }
    ReportSubtitleFaults(path);
}

// A subtitle file that cannot be read is shown line by line and kept as it
// is; doubtful times are only said, the pre-show check lists them.
void TFrm_Main::ReportSubtitleFaults(const QString &path)
{
    if (const std::optional<SubtitleIssue> error = Richedt_Screen->subtitleError()) {
        const QString text = QStringLiteral("字幕文件无法读入：%1（%2）").arg(path, error->text());
        StatusPanel[2]->setText(text);
        m_prompter->message(this, text + QStringLiteral("\n幕列表按文本行显示，保存工程时不会覆盖这个文件。"),
                            QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
        return;
    }
    const std::vector<SubtitleIssue> warnings = Richedt_Screen->subtitleWarnings();
    if (!warnings.empty())
        StatusPanel[2]->setText(QStringLiteral("字幕时间有%1处问题，%2").arg(warnings.size()).arg(warnings.front().text()));
}

void TFrm_Main::StartScenarioLoad(const QString &path)
{
    if (m_preload && !m_preload->isLoaded()) {
        m_deferredScenario = path;
        StatusPanel[2]->setText(QStringLiteral("正在读入剧本……"));
        return;
    }
    QByteArray bytes;
    if (m_preload && m_preload->take(path, *Richedt_Screen, bytes))
        ScenarioLoaded(path, bytes);
    else
        LoadScenario(path);   // read here, so that a failure is reported
}

void TFrm_Main::FinishScenarioLoad()
{
    if (!m_shown)
        return;   // the start-up load takes the pages when the window is shown
    const QString path = std::exchange(m_deferredScenario, QString());
    if (!path.isEmpty()) {
        StatusPanel[2]->clear();
        Guarded([&] { StartScenarioLoad(path); });
        RecoverShow();
    }
    DropPreload();
}

// The worker's pages, if not taken, are not kept for the whole show. Its
// end may still be queued when the window has dropped them already.
void TFrm_Main::DropPreload()
{
    if (m_preloadDropped)
        return;
    disconnect(m_preload, &ScenarioPreload::loaded, this, nullptr);
    m_preload->release();
    m_preloadDropped = true;
    // The check of the remembered widths loads the fonts on the worker: not
    // while the window draws its first pages.
    QTimer::singleShot(WidthCheckDelayMs, m_preload, &ScenarioPreload::startCheck);
}

// A remembered width that measures otherwise now (the fonts changed since)
// wraps the pages anew, as a fresh measurement would have.
void TFrm_Main::PreloadDone()
{
    if (Richedt_Screen->setWidths(m_preload->corrections())) {
        RebuildPageList();
        StatusPanel[2]->setText(QStringLiteral("字体已变化，幕列表已重新分幕"));
    }
    std::exchange(m_preload, nullptr)->deleteLater();
}

// Until then the store is empty: a command that used the pages would lose
// them or act on the wrong one.
void TFrm_Main::AwaitScenario()
{
    if (m_deferredScenario.isEmpty())
        return;
    m_preload->waitLoaded();
    FinishScenarioLoad();
}

void TFrm_Main::ReloadScenario(bool atStart)
{
    const QString path = ScenarioPath();
    if (path.isEmpty()) {
        // No other project's pages may stay under this one.
        ForgetPages();
        m_unreadableScenario.clear();
        m_missingScenario.clear();
        m_scenarioSnapshot = FileSnapshot();
        // A first start without any project has nothing to say.
        if (QFile::exists(Project.CurFileName))
            StatusPanel[2]->setText(QStringLiteral("工程没有剧本文件"));
        return;
    }
    if (!IsForeignDrivePath(path) && QFile::exists(path)) {
        if (atStart)
            StartScenarioLoad(path);
        else
            LoadScenario(path);
        return;
    }
    ForgetPages();
    m_missingScenario = path;
    m_scenarioSnapshot = FileSnapshot::of(path, QByteArray(), false);
    const QString missing = QStringLiteral("找不到剧本文件：") + path;
    StatusPanel[2]->setText(missing);
    m_prompter->message(this,
                        missing + QStringLiteral("\n幕列表已清空，保存工程时不会创建这个文件。"
                                                 "请用“导入剧本”选择剧本文件。"),
                        QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
}

void TFrm_Main::SaveScenario()
{
    AwaitScenario();
    const QString path = ScenarioPath();
    if (path.isEmpty() || path == m_missingScenario)
        return;
    try {
        if (path == m_unreadableScenario)
            throw VelmoraError(QStringLiteral("剧本文件未能读入，没有覆盖它：") + path);
        if (Richedt_Screen->subtitleError())
            throw VelmoraError(QStringLiteral("字幕文件未能读入，没有覆盖它：") + path);
        if (IsForeignDrivePath(path))
            throw VelmoraError(QStringLiteral("剧本文件的路径在本机无效，没有写入：") + path);
        const QByteArray bytes = Richedt_Screen->save();
        WriteFileSafely(path, bytes);
        m_scenarioSnapshot = FileSnapshot::of(path, bytes);
        RememberEncoding(path, Richedt_Screen->encoding());
    } catch (const VelmoraError &) {
        Project.ProjectSaved = false;   // the pages are not on disk yet
        throw;
    }
}

void TFrm_Main::CheckScenarioOnDisk(const QString &projectFile)
{
    AwaitScenario();
    const QString path = ScenarioPath(projectFile);
    if (path.isEmpty() || path == m_unreadableScenario)
        return;
    if (path != m_scenarioSnapshot.path())
        CheckOtherScenario(path);
    else if (m_scenarioSnapshot.changedOnDisk())
        AskChangedScenario(path);
    if (path != m_missingScenario)
        ConfirmInvalidBytes(path);
}

void TFrm_Main::AskChangedScenario(const QString &path)
{
    const SetUpScope setUp(*this);   // the answer may reload the pages
    const int answer = m_prompter->message(
        this,
        QStringLiteral("剧本文件“%1”在读入后已被修改（剧本编辑器或其他程序）。\n\n"
                       "是：重新读入这个文件，放弃幕列表中的改动\n"
                       "否：用幕列表覆盖这个文件\n"
                       "取消：不保存")
            .arg(path),
        QStringLiteral("提示"), Prompter::Warning, Prompter::Yes | Prompter::No | Prompter::Cancel);
    if (answer == Prompter::Yes)
        LoadScenario(path);
    else if (answer == Prompter::No)
        m_missingScenario.clear();   // the operator wants the file written
    else
        throw CommandCancelled();
}

// Save As into another folder: a file there of the scenario's (relative)
// name was never read. When it holds other text than this show's, only the
// operator's yes writes this show's pages over it.
void TFrm_Main::CheckOtherScenario(const QString &path)
{
    if (!QFile::exists(path))
        return;
    const QByteArray there = ReadWholeFile(path);
    if (m_scenarioSnapshot.holds(there) || there == Richedt_Screen->save())
        return;
    const int answer = m_prompter->message(
        this,
        QStringLiteral("目标文件夹已有同名的剧本文件，是否覆盖？\n%1\n\n是：用本工程的幕列表覆盖它\n否：不保存")
            .arg(path),
        QStringLiteral("提示"), Prompter::Warning, Prompter::Yes | Prompter::No);
    if (answer != Prompter::Yes)
        throw CommandCancelled();
}

// A UTF-8 scenario with bytes that are no UTF-8 is written over only with
// the operator's yes, once for each time it is read.
void TFrm_Main::ConfirmInvalidBytes(const QString &path)
{
    const int line = Richedt_Screen->firstInvalidLine();
    if (line == 0 || m_invalidBytesAccepted || m_scenarioSnapshot.holds(Richedt_Screen->save()))
        return;
    const int answer = m_prompter->message(
        this,
        QStringLiteral("剧本文件“%1”第%2行不是有效的UTF-8。\n"
                       "无效的字节将原样保留，改过的行以UTF-8写入。是否写入这个文件？")
            .arg(path)
            .arg(line),
        QStringLiteral("提示"), Prompter::Warning, Prompter::Yes | Prompter::No);
    if (answer != Prompter::Yes)
        throw CommandCancelled();
    m_invalidBytesAccepted = true;
}

// Pages without a scenario file are written to one the operator names, as
// Save As names the project.
void TFrm_Main::AskScenarioFile()
{
    AwaitScenario();
    if (!ScenarioPath().isEmpty() || Richedt_Screen->textLineCount() == 0)
        return;
    Prompter::FileRequest request;
    request.title = QStringLiteral("保存剧本文件");
    request.filter = ScenarioFilter;
    request.defaultSuffix = QStringLiteral("txt");
    request.confirmOverwrite = true;
    const QString path = m_prompter->saveFile(this, request);
    if (path.isEmpty())
        throw CommandCancelled();
    SetScenarioPath(path);
    // The dialog has asked before replacing a file there: it is no change.
    const bool exists = QFile::exists(path);
    m_scenarioSnapshot = FileSnapshot::of(path, exists ? ReadWholeFile(path) : QByteArray(), exists);
}

// The project stores the path as at most 255 GBK bytes; a path that does
// not fit would make the next save write the pages elsewhere.
void TFrm_Main::SetScenarioPath(const QString &path)
{
    if (!IsGbkEncodable(path) || ToGbk(path).size() > 255)
        throw VelmoraError(QStringLiteral("剧本文件的路径不能保存到工程中，请换一个文件名或文件夹：") + path);
    Record().ScenarioFile.setText(path);
}

void TFrm_Main::ScenarioEdited(const QString &path, QWidget *owner)
{
    const QString scenario = ScenarioPath();
    if (scenario.isEmpty() || QFileInfo(path).canonicalFilePath() != QFileInfo(scenario).canonicalFilePath())
        return;
    const QString unsaved = Project.ProjectSaved
        ? QString()
        : QStringLiteral("\n幕列表中尚未保存的改动将被替换。");
    const int answer = m_prompter->message(
        owner, QStringLiteral("剧本文件“%1”已保存。是否立即重新导入到幕列表？%2").arg(path, unsaved),
        QStringLiteral("提示"), Prompter::Question, Prompter::Yes | Prompter::No);
    if (answer != Prompter::Yes)
        return;
    const int selected = SelectedIndex();
    Guarded([&] { LoadScenario(scenario); });
    // The previews show the page selected again, or nothing.
    SelectPage(qMin(selected, PageCount() - 1));
    if (SelectedIndex() < 0) {
        BlankPreview(PortraitImage);
        BlankPreview(LandImage);
    }
}

void TFrm_Main::Btn_LoadScenarioClick()
{
    const SetUpScope setUp(*this);
    AwaitScenario();
    Guarded([this] {
        Prompter::FileRequest request;
        request.filter = ScenarioFilter;
        request.mustExist = false;   // a new name is created at the next save
        const QString path = m_prompter->openFile(this, request);
        if (path.isEmpty())
            return;
        const bool exists = QFile::exists(path);
        const QByteArray bytes = exists ? ReadScenarioFile(path) : QByteArray();
        SetScenarioPath(path);
        Project.ProjectSaved = false;
        Richedt_Screen->load(bytes, ScenarioEncoding(path, bytes));
        ScenarioLoaded(path, bytes, exists);
    });
}

void TFrm_Main::ReplaceStoreAndList(const std::function<void()> &edit, int select)
{
    AwaitScenario();
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
    const SetUpScope setUp(*this);
    const int index = SelectedIndex();
    if (WarnNoSelection(m_prompter, this, index, QStringLiteral("修改")))
        return;
    TFrm_Modify dialog(this);
    dialog.Edt_Modify->setText(PageText(index));
    dialog.pageIndex = index;
    dialog.setRefusal([this, index](const QString &text) { return Richedt_Screen->refusal(index, text); });
    if (dialog.exec() == QDialog::Accepted) {
        const QString text = dialog.Edt_Modify->text();
        ReplaceStoreAndList([&] { Richedt_Screen->replacePage(dialog.pageIndex, text); },
                            dialog.pageIndex);
    }
    Project.ProjectSaved = false;
}

void TFrm_Main::Btn_InputStrClick()
{
    const SetUpScope setUp(*this);
    const int index = SelectedIndex();
    if (WarnNoSelection(m_prompter, this, index, QStringLiteral("插入")))
        return;
    TFrm_Add dialog(this);
    dialog.pageIndex = index;
    dialog.setRefusal([this](const QString &text) { return Richedt_Screen->refusal(-1, text); });
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
