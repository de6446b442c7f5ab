#include "dialogs/uSpecial.h"

#include "app/Prompter.h"
#include "dialogs/ButtonEdit.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <initializer_list>

namespace {
const QString LogoFilter = QStringLiteral("图片文件(*.bmp)|*.bmp");
const QString WelcomeFilter = QStringLiteral("图片文件(*.bmp)|*.bmp|RTF文档(*.rtf)|*.rtf");

QPushButton *PageButton(const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

void AddButtons(QVBoxLayout *page, std::initializer_list<QPushButton *> buttons)
{
    page->addStretch(1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton *button : buttons)
        row->addWidget(button);
    page->addLayout(row);
}
} // namespace

TFrm_Special::TFrm_Special(TProjectState &project, Prompter *prompter, TSpecialCommands commands,
                           QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_project(project), m_prompter(prompter), m_commands(std::move(commands))
{
    setObjectName(QStringLiteral("Frm_Special"));
    setWindowTitle(QStringLiteral("特殊信息"));
    resize(401, 246);

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = BuildLogoPage();
    TabSheet2 = BuildWelcomePage();
    PageControl1->addTab(TabSheet1, QStringLiteral("LOGO标语信息"));
    PageControl1->addTab(TabSheet2, QStringLiteral("欢迎词标语信息"));
    // The welcome picture is not offered. A hidden tab can still be reached
    // with Ctrl+Tab, so any way onto it leads back to the LOGO page.
    PageControl1->setTabVisible(1, false);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            PageControl1->setCurrentIndex(0);
    });
    PageControl1->setCurrentIndex(0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    for (QLineEdit *box : {BtnEdt_LOGO, BtnEdt_LOGO2, BtnEdt_WelCome})
        connect(box, &QLineEdit::textChanged, this, [this] { m_project.ProjectSaved = false; });
    const TProjectRecord &record = project.ProjectRecord;
    BtnEdt_LOGO->setText(record.LogoLandFile.text());
    BtnEdt_LOGO2->setText(record.LogoPortFile.text());
    BtnEdt_WelCome->setText(record.WelcomeFile.text());

    connect(BtnEdt_LOGOButton, &QAction::triggered, this, [this] { PickFile(BtnEdt_LOGO, LogoFilter); });
    connect(BtnEdt_LOGO2Button, &QAction::triggered, this,
            [this] { PickFile(BtnEdt_LOGO2, LogoFilter); });
    connect(BtnEdt_WelComeButton, &QAction::triggered, this,
            [this] { PickFile(BtnEdt_WelCome, WelcomeFilter); });
    connect(Btn_SendLOGO, &QPushButton::clicked, this,
            [this] { m_commands.sendLogo(BtnEdt_LOGO->text(), BtnEdt_LOGO2->text()); });
    connect(Btn_SendWelCome, &QPushButton::clicked, this,
            [this] { m_commands.sendWelcome(BtnEdt_WelCome->text()); });
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::close);
}

QWidget *TFrm_Special::BuildLogoPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    QWidget *landRow = MakeButtonEdit("BtnEdt_LOGO", &BtnEdt_LOGO, &BtnEdt_LOGOButton);
    QWidget *portRow = MakeButtonEdit("BtnEdt_LOGO2", &BtnEdt_LOGO2, &BtnEdt_LOGO2Button);
    Btn_SendLOGO = PageButton("Btn_SendLOGO", QStringLiteral("发送(&S)"));
    Btn_Close = PageButton("Btn_Close", QStringLiteral("关闭(&C)"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("请选择LOGO标语图片文件(横向)")));
    layout->addWidget(landRow);
    layout->addWidget(new QLabel(QStringLiteral("请选择LOGO标语图片文件(纵向)")));
    layout->addWidget(portRow);
    AddButtons(layout, {Btn_SendLOGO, Btn_Close});
    return page;
}

QWidget *TFrm_Special::BuildWelcomePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    QWidget *welcomeRow = MakeButtonEdit("BtnEdt_WelCome", &BtnEdt_WelCome, &BtnEdt_WelComeButton);
    Btn_SendWelCome = PageButton("Btn_SendWelCome", QStringLiteral("发送(&W)"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("请选择欢迎词标语的图片或文本文件")));
    layout->addWidget(welcomeRow);
    AddButtons(layout, {Btn_SendWelCome});
    return page;
}

void TFrm_Special::PickFile(QLineEdit *box, const QString &filter)
{
    Prompter::FileRequest request;
    request.filter = filter;
    if (!box->text().isEmpty())
        request.directory = QFileInfo(box->text()).absolutePath();
    const QString path = m_prompter->openFile(this, request);
    if (!path.isEmpty())
        box->setText(path);
}
