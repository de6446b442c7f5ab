#include "app/uMain.h"

#include "app/AppPaths.h"
#include "app/Errors.h"
#include "app/HotKey.h"
#include "app/ProjectFile.h"
#include "app/Prompter.h"
#include "app/ScenarioPreload.h"
#include "remote/RemoteServer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

const char *const ApplicationTitle = "Velmora舞台字幕编辑系统";

namespace {
const QString ProjectFilter = QStringLiteral("工程文件(*.prj)|*.prj");
const QString Hint = QStringLiteral("提示");

QAction *MakeAction(QObject *parent, const char *name, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QLatin1String(name));
    return action;
}

QPushButton *MakeButton(const char *name, const QString &text)
{
    auto *button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    return button;
}
} // namespace

TFrm_Main::TFrm_Main(Prompter *prompter, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_prompter(prompter)
{
    // The scenario is read while the window is built and first painted.
    m_preload = new ScenarioPreload(this);
    connect(m_preload, &ScenarioPreload::loaded, this, &TFrm_Main::FinishScenarioLoad);
    connect(m_preload, &ScenarioPreload::done, this, &TFrm_Main::PreloadDone);
    Project.ProjectSaved.setOnChange([this] { UpdateTitle(); });
    setObjectName(QStringLiteral("Frm_Main"));
    setWindowTitle(QString::fromUtf8(ApplicationTitle));
    resize(691, 699);

    BuildMenus();
    BuildToolBar();
    BuildClientArea();
    BuildStatusBar();
    BuildPageList();
    ConnectPreview();
    SetupMonitor();
    SetupLinkStatus();
    SetupCockpit();
    SetupPlayback();
    SetupRemote();
    SetupHelp();

    Project.SentByClick = false;
    m_hotKey = new HotKey(this);
    connect(m_hotKey, &HotKey::pressed, this, &TFrm_Main::HotKeyPressed);

    ProgressB_State->hide();
    PortraitImage = QImage(1, 1, QImage::Format_RGB32);
    PortraitImage.fill(Qt::black);
    LandImage = PortraitImage;
    RepaintPreviews();

    Guarded([this] {
        Project.CurFileName = ReadRegString(QStringLiteral("CurFileName"), QString());
    });
    if (IsBlank(Project.CurFileName))
        Project.CurFileName = QString::fromUtf8(UntitledName);
    UpdateTitle();
    SpinEdit1->setValue(ReadAutoRunInterval());
    connect(SpinEdit1, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int value) { Guarded([value] { WriteAutoRunInterval(value); }); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFrm_Main::~TFrm_Main()
{
    delete m_remoteServer;   // no client may reach a window being taken apart
    StopTransmission();
}

bool TFrm_Main::Guarded(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());
        return false;
    } catch (const CommandCancelled &) {
        return false;
    }
}

void TFrm_Main::BuildMenus()
{
    N_File = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    N_New = MakeAction(this, "N_New", QStringLiteral("新建工程(&N)"));
    N2 = MakeAction(this, "N2", QStringLiteral("打开工程(&O)"));
    N_Save = MakeAction(this, "N_Save", QStringLiteral("保存工程(&S)"));
    N_SaveAs = MakeAction(this, "N_SaveAs", QStringLiteral("另存工程为(&A)"));
    N4 = MakeAction(this, "N4", QStringLiteral("退出(&X)"));
    N_File->addActions({N_New, N2, N_Save, N_SaveAs, N4});

    N_Setup = menuBar()->addMenu(QStringLiteral("设置(&S)"));
    N_Setup->setObjectName(QStringLiteral("N_Setup"));
    N6 = MakeAction(this, "N6", QStringLiteral("设置屏参(&P)"));
    N8 = MakeAction(this, "N8", QStringLiteral("系统复位(&R)"));
    N3 = MakeAction(this, "N3", QStringLiteral("特殊信息(&I)"));
    N_Font = MakeAction(this, "N_Font", QStringLiteral("字体设置(&F)"));
    N_Setup->addActions({N6, N8, N3, N_Font});
    N_Check = MakeAction(this, "N_Check", QStringLiteral("检查剧本(&C)"));
    N_Setup->addAction(N_Check);

    N_Send = menuBar()->addMenu(QStringLiteral("通讯(&C)"));
    N_Send->setObjectName(QStringLiteral("N_Send"));
    N1 = MakeAction(this, "N1", QStringLiteral("调节亮度(&B)"));
    N14 = MakeAction(this, "N14", QStringLiteral("发送当前幕(&S)"));
    N_ClearScreen = MakeAction(this, "N_ClearScreen", QStringLiteral("清除显示屏内容(&E)"));
    N_Send->addActions({N1, N14, N_ClearScreen});

    // "关于" has no items and no action: the About box is in 帮助 and on the hot key.
    N13 = menuBar()->addMenu(QStringLiteral("关于(&A)"));
    N13->setObjectName(QStringLiteral("N13"));

    connect(N_New, &QAction::triggered, this, &TFrm_Main::NewClick);
    connect(N2, &QAction::triggered, this, &TFrm_Main::OpenClick);
    connect(N_Save, &QAction::triggered, this, &TFrm_Main::SaveClick);
    connect(N_SaveAs, &QAction::triggered, this, &TFrm_Main::SaveAsClick);
    connect(N4, &QAction::triggered, this, &TFrm_Main::ExitClick);
    connect(N6, &QAction::triggered, this, &TFrm_Main::N6Click);
    connect(N3, &QAction::triggered, this, &TFrm_Main::N3Click);
    connect(N_Font, &QAction::triggered, this, &TFrm_Main::N_FontClick);
    connect(N_Check, &QAction::triggered, this, &TFrm_Main::N_CheckClick);
    connect(N8, &QAction::triggered, this, &TFrm_Main::N8Click);
    connect(N1, &QAction::triggered, this, &TFrm_Main::StepBrightness);
    connect(N14, &QAction::triggered, this, &TFrm_Main::TlBtn_MainClick);
    connect(N_ClearScreen, &QAction::triggered, this, &TFrm_Main::ClearDisplay);
}

void TFrm_Main::BuildToolBar()
{
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle *st = style();
    auto add = [&](const char *name, const QString &text, const QString &hint,
                   QStyle::StandardPixmap icon) {
        QAction *a = MakeAction(this, name, text);
        a->setToolTip(hint.isEmpty() ? text : hint);
        a->setIcon(st->standardIcon(icon));
        ToolBar->addAction(a);
        return a;
    };
    TolBtn_New = add("TolBtn_New", QStringLiteral("新建"), QString(), QStyle::SP_FileIcon);
    TolBtn_Open = add("TolBtn_Open", QStringLiteral("打开"), QString(), QStyle::SP_DialogOpenButton);
    TolBtn_Save = add("TolBtn_Save", QStringLiteral(" 保存 "), QStringLiteral("保存"),
                      QStyle::SP_DialogSaveButton);
    ToolBar->addSeparator();
    ToolButton3 = add("ToolButton3", QStringLiteral("剧本"), QStringLiteral("打开写字板"),
                      QStyle::SP_FileDialogDetailedView);
    TolBtn_Font = add("TolBtn_Font", QStringLiteral("字体"), QString(), QStyle::SP_FileDialogInfoView);
    ToolBar->addSeparator();
    TlBtn_Main = add("TlBtn_Main", QStringLiteral("发送"), QStringLiteral("发送剧本数据"),
                     QStyle::SP_ArrowRight);
    TolBtn_Light = add("TolBtn_Light", QStringLiteral("调亮"), QString(), QStyle::SP_DialogYesButton);
    ToolBar->addSeparator();
    TolBtn_Exit = add("TolBtn_Exit", QStringLiteral("退出"), QStringLiteral("退出"),
                      QStyle::SP_DialogCloseButton);

    connect(TolBtn_New, &QAction::triggered, this, &TFrm_Main::NewClick);
    connect(TolBtn_Open, &QAction::triggered, this, &TFrm_Main::OpenClick);
    connect(TolBtn_Save, &QAction::triggered, this, &TFrm_Main::SaveClick);
    connect(TolBtn_Exit, &QAction::triggered, this, &TFrm_Main::ExitClick);
    connect(TolBtn_Font, &QAction::triggered, this, &TFrm_Main::N_FontClick);
    connect(ToolButton3, &QAction::triggered, this, &TFrm_Main::ToolButton3Click);
    connect(TlBtn_Main, &QAction::triggered, this, &TFrm_Main::TlBtn_MainClick);
    connect(TolBtn_Light, &QAction::triggered, this, &TFrm_Main::StepBrightness);
}

void TFrm_Main::BuildClientArea()
{
    auto *central = new QWidget;
    auto *outer = new QHBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);

    Grp_Portrait = new QGroupBox;
    Grp_Portrait->setObjectName(QStringLiteral("Grp_Portrait"));
    Grp_Portrait->setFixedSize(88, 568);
    Img_Portrait = new QLabel(Grp_Portrait);
    Img_Portrait->setObjectName(QStringLiteral("Img_Portrait"));
    outer->addWidget(Grp_Portrait, 0, Qt::AlignTop);

    auto *right = new QVBoxLayout;
    Grp_Land = new QGroupBox;
    Grp_Land->setObjectName(QStringLiteral("Grp_Land"));
    Grp_Land->setFixedSize(568, 88);
    Img_Land = new QLabel(Grp_Land);
    Img_Land->setObjectName(QStringLiteral("Img_Land"));
    right->addWidget(Grp_Land);
    right->addWidget(BuildCockpit());

    auto *middle = new QHBoxLayout;
    LstView_Page = new QTableView;
    LstView_Page->setObjectName(QStringLiteral("LstView_Page"));
    LstView_Page->setShowGrid(true);
    LstView_Page->setSelectionBehavior(QAbstractItemView::SelectRows);
    LstView_Page->setSelectionMode(QAbstractItemView::SingleSelection);
    LstView_Page->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LstView_Page->verticalHeader()->hide();
    middle->addWidget(LstView_Page, 1);

    auto *buttons = new QVBoxLayout;
    Btn_LoadScenario = MakeButton("Btn_LoadScenario", QStringLiteral("导入剧本(&I)"));
    Btn_TempStr = MakeButton("Btn_TempStr", QStringLiteral("临时信息(&T)"));
    Btn_Modify = MakeButton("Btn_Modify", QStringLiteral("修改当前幕(&M)"));
    Btn_Delete = MakeButton("Btn_Delete", QStringLiteral("删除当前幕(&D)"));
    Btn_InputStr = MakeButton("Btn_InputStr", QStringLiteral("插入一幕(&N)"));
    for (QPushButton *b : {Btn_LoadScenario, Btn_TempStr, Btn_Modify, Btn_Delete, Btn_InputStr}) {
        b->setEnabled(false);
        buttons->addWidget(b);
    }
    // Button1 sits where the auto-send group covers it; F4 reaches the same command.
    Button1 = MakeButton("Button1", QStringLiteral("清屏(F4)"));
    Button1->setParent(central);   // in no layout, but owned like the rest
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &TFrm_Main::ClearDisplay);
    Btn_TempStr->setEnabled(true);
    connect(Btn_TempStr, &QPushButton::clicked, this, &TFrm_Main::Btn_TempStrClick);

    GroupBox1 = new QGroupBox(QStringLiteral("自动发送"));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *autoLayout = new QGridLayout(GroupBox1);
    SpinEdit1 = new QSpinBox;
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(2, 50);
    SpinEdit1->setValue(2);
    Button2 = MakeButton("Button2", QStringLiteral("开始(&G)"));
    connect(Button2, &QPushButton::clicked, this, &TFrm_Main::Button2Click);
    autoLayout->addWidget(new QLabel(QStringLiteral("间隔")), 0, 0);
    autoLayout->addWidget(SpinEdit1, 0, 1);
    autoLayout->addWidget(new QLabel(QStringLiteral("秒")), 0, 2);
    autoLayout->addWidget(Button2, 1, 0, 1, 3);
    buttons->addStretch(1);
    buttons->addWidget(GroupBox1);
    buttons->addWidget(BuildPlaybackBox());
    middle->addLayout(buttons);
    right->addLayout(middle, 1);
    outer->addLayout(right, 1);
    setCentralWidget(central);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &TFrm_Main::Timer1Timer);
    WatchPageList();
}

void TFrm_Main::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBarEx"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = new QLabel;
        StatusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setFrameShape(QFrame::Panel);
        StatusPanel[i]->setFrameShadow(QFrame::Sunken);
    }
    StatusPanel[0]->setText(QStringLiteral("Space/Enter=发送;F4=清屏"));
    // 160 pixels, or wider where the font needs more for the whole text.
    StatusPanel[0]->setFixedWidth(qMax(160, StatusPanel[0]->sizeHint().width()));
    StatusPanel[1]->setFixedWidth(180);
    StatusPanel[2]->setMinimumWidth(50);
    ProgressB_State = new QProgressBar(StatusPanel[1]);
    ProgressB_State->setObjectName(QStringLiteral("ProgressB_State"));
    ProgressB_State->setTextVisible(false);
    ProgressB_State->setGeometry(2, 2, 176, 14);
    bar->addWidget(StatusPanel[0]);
    bar->addWidget(StatusPanel[1]);
    bar->addWidget(StatusPanel[2], 1);
}

void TFrm_Main::RepaintPreviews()
{
    Img_Portrait->setPixmap(QPixmap::fromImage(PortraitImage));
    Img_Land->setPixmap(QPixmap::fromImage(LandImage));
}

// "*" after the name while the project has changes that are not saved.
void TFrm_Main::UpdateTitle()
{
    const QString mark = Project.ProjectSaved ? QString() : QStringLiteral("*");
    setWindowTitle(QString::fromUtf8(ApplicationTitle) + QStringLiteral(" -- [")
                   + Project.CurFileName + mark + QLatin1Char(']')
                   + (m_showLocked ? QStringLiteral(" [锁定]") : QString()));
}

void TFrm_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        StartupLoad();
        if (m_deferredScenario.isEmpty()) {   // else when the list is filled
            RecoverShow();
            if (m_preload && m_preload->isLoaded())
                DropPreload();
        }
    }
}

void TFrm_Main::SetStartupFile(const QString &path)
{
    m_startupFile = QFileInfo(path).absoluteFilePath();
}

void TFrm_Main::StartupLoad()
{
    if (!m_startupFile.isEmpty() && OpenStartupFile())
        return;
    if (!Guarded([this] { LoadProject(Project.CurFileName); }))
        return;   // the flags stay as at program start
    Project.ProjectUntitled = false;
    Project.ProjectSaved = true;
    ResizePreview(Record().ScreenWidth, Record().ScreenHeight);
    Guarded([this] { ReloadScenario(true); });
}

void TFrm_Main::LoadProject(const QString &path)
{
    if (QFile::exists(path)) {
        TProjectRecord scratch = Record();
        try {
            ReadProjectFile(path, scratch);
        } catch (const VelmoraError &) {
            // A damaged remembered project must not leave an all-zero record
            // behind: the window opens with the defaults instead.
            SetStartupDefaults(Record());
            ResizePreview(Record().ScreenWidth, Record().ScreenHeight);
            throw;
        }
        Record() = scratch;
    } else {
        SetStartupDefaults(Record());
    }
    ResizePreview(Record().ScreenWidth, Record().ScreenHeight);
}

void TFrm_Main::NewProject(const QString &name)
{
    Project.CurFileName = name;
    Project.ProjectUntitled = true;
    SetNewDefaults(Record());
    ResizePreview(256, 32);
    UpdateTitle();
    WriteRegString(QStringLiteral("CurFileName"), Project.CurFileName);
}

void TFrm_Main::SaveProject(const QString &path)
{
    AskScenarioFile();
    CheckScenarioOnDisk(path);
    WriteProjectFile(path, Record());
    Project.CurFileName = path;
    UpdateTitle();
    WriteRegString(QStringLiteral("CurFileName"), Project.CurFileName);
    Project.ProjectUntitled = false;
    SaveScenario();
    Project.ProjectSaved = true;
}

bool TFrm_Main::SaveProjectAs()
{
    Prompter::FileRequest request;
    request.filter = ProjectFilter;
    request.defaultSuffix = QStringLiteral("prj");
    const QString path = m_prompter->saveFile(this, request);
    if (path.isEmpty())
        return false;
    if (QFile::exists(path)
        && m_prompter->message(this, QStringLiteral("文件“%1”已存在。是否替换它？").arg(path), Hint,
                               Prompter::Warning, Prompter::Yes | Prompter::No)
               != Prompter::Yes)
        return false;
    AskScenarioFile();
    CheckScenarioOnDisk(path);
    WriteProjectFile(path, Record());
    Project.CurFileName = path;
    Project.ProjectUntitled = false;
    Project.ProjectSaved = true;
    UpdateTitle();
    WriteRegString(QStringLiteral("CurFileName"), Project.CurFileName);
    SaveScenario();
    return true;
}

void TFrm_Main::SaveCurrent()
{
    if (Project.ProjectUntitled)
        SaveProjectAs();
    else
        SaveProject(Project.CurFileName);
}

bool TFrm_Main::NeedsSavePrompt() const
{
    return Project.ProjectUntitled || !Project.ProjectSaved;
}

void TFrm_Main::NewClick()
{
    const SetUpScope setUp(*this);
    Guarded([this] {
        if (Project.ProjectUntitled)
            SaveProjectAs();   // saved or cancelled, New goes on
        else if (!Project.ProjectSaved)
            SaveProject(Project.CurFileName);
        NewProject(QString::fromUtf8(UntitledName));
    });
}

void TFrm_Main::OpenClick()
{
    const SetUpScope setUp(*this);
    Guarded([this] {
        Prompter::FileRequest request;
        request.filter = ProjectFilter;
        request.defaultSuffix = QStringLiteral("prj");
        const QString path = m_prompter->openFile(this, request);
        if (!path.isEmpty()) {
            if (Project.ProjectUntitled) {
                const int answer = m_prompter->message(
                    this, QStringLiteral("是否保存到文件") + Project.CurFileName + QStringLiteral("？"),
                    Hint, Prompter::Warning, Prompter::Yes | Prompter::No | Prompter::Cancel);
                if (answer == Prompter::Cancel)
                    return;
                if (answer == Prompter::Yes)
                    SaveProjectAs();
            } else if (!Project.ProjectSaved) {
                SaveProject(Project.CurFileName);
            }
            ReadOpenedProject(path);
        }
        UpdateTitle();
        WriteRegString(QStringLiteral("CurFileName"), Project.CurFileName);
    });
}

void TFrm_Main::ReadOpenedProject(const QString &path)
{
    TProjectRecord scratch = Record();
    ReadProjectFile(path, scratch);
    Record() = scratch;
    Project.CurFileName = path;
    Project.ProjectUntitled = false;
    Project.ProjectSaved = true;
    ResizePreview(Record().ScreenWidth, Record().ScreenHeight);
    Guarded([this] { ReloadScenario(); });   // reported; the Open goes on
}

// Nothing to save yet, so the file is read as a chosen one; only when it
// cannot be read does the remembered project load, after the error.
bool TFrm_Main::OpenStartupFile()
{
    if (!Guarded([this] { ReadOpenedProject(m_startupFile); }))
        return false;
    UpdateTitle();
    Guarded([this] { WriteRegString(QStringLiteral("CurFileName"), Project.CurFileName); });
    return true;
}

void TFrm_Main::SaveClick()
{
    Guarded([this] { SaveCurrent(); });
    UpdateTitle();
}

void TFrm_Main::SaveAsClick()
{
    Guarded([this] { SaveProjectAs(); });
}

// 保存, 不保存 or 取消 (Esc). A save that fails, is called off at a
// question or whose file dialog is cancelled keeps the window open with the
// pages, so the operator can save elsewhere.
bool TFrm_Main::AskToSaveOnExit()
{
    if (!NeedsSavePrompt())
        return true;
    const int answer = m_prompter->message(this, QStringLiteral("是否将改动保存到文件？"), Hint,
                                           Prompter::Warning,
                                           Prompter::Save | Prompter::Discard | Prompter::Cancel);
    if (answer == Prompter::Discard)
        return true;
    if (answer != Prompter::Save)
        return false;
    return Guarded([this] { SaveCurrent(); }) && !NeedsSavePrompt();
}

void TFrm_Main::ExitClick()
{
    if (!AskToSaveOnExit())
        return;
    m_exiting = true;   // the window is not asked again
    close();
}

void TFrm_Main::closeEvent(QCloseEvent *event)
{
    if (!m_exiting && !AskToSaveOnExit()) {
        event->ignore();
        return;
    }
    m_exiting = true;
    event->accept();   // only a failed save stops the closing
    StopTransmission();
}

void TFrm_Main::HotKeyPressed(int modifiers, int virtualKey)
{
    if (modifiers == HotKey::AltModifier && virtualKey == HotKey::KeypadMultiply)
        ShowAbout();
}
