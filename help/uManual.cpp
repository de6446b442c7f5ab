#include "help/uManual.h"

#include "help/Manual.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

TFrm_Manual::TFrm_Manual(const QString &folder, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frm_Manual"));
    setWindowTitle(QStringLiteral("使用说明"));
    setAttribute(Qt::WA_DeleteOnClose);

    Tree_Contents = new QTreeWidget;
    Tree_Contents->setObjectName(QStringLiteral("Tree_Contents"));
    Tree_Contents->setHeaderLabel(QStringLiteral("目录"));
    Edt_Search = new QLineEdit;
    Edt_Search->setObjectName(QStringLiteral("Edt_Search"));
    Edt_Search->setPlaceholderText(QStringLiteral("查找（回车：下一个）"));
    Edt_Search->setClearButtonEnabled(true);
    auto *searchLabel = new QLabel(QStringLiteral("查找(&S)"));
    searchLabel->setBuddy(Edt_Search);
    Lbl_Search = new QLabel;
    Lbl_Search->setObjectName(QStringLiteral("Lbl_Search"));
    Txt_Manual = new QTextBrowser;
    Txt_Manual->setObjectName(QStringLiteral("Txt_Manual"));
    Txt_Manual->setOpenExternalLinks(true);

    auto *search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(Edt_Search, 1);
    search->addWidget(Lbl_Search);
    auto *splitter = new QSplitter;
    splitter->addWidget(Tree_Contents);
    splitter->addWidget(Txt_Manual);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 700});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(splitter, 1);
    resize(960, 700);

    connect(Tree_Contents, &QTreeWidget::itemActivated, this, &TFrm_Manual::ContentsClick);
    connect(Tree_Contents, &QTreeWidget::itemClicked, this, &TFrm_Manual::ContentsClick);
    connect(Edt_Search, &QLineEdit::returnPressed, this, &TFrm_Manual::SearchNext);
    connect(Edt_Search, &QLineEdit::textChanged, Lbl_Search, &QLabel::clear);
    LoadManual(folder);
}

void TFrm_Manual::LoadManual(const QString &folder)
{
    const QString html = folder.isEmpty() ? QString() : ManualHtml(folder);
    if (html.isEmpty()) {
        Txt_Manual->setPlainText(QStringLiteral("找不到使用说明。它应当在以下文件夹之一：\n")
                                 + ManualFolders().join(QLatin1Char('\n')));
        return;
    }
    // Pictures are named relative to the manual's folder.
    Txt_Manual->setSearchPaths({folder});
    Txt_Manual->document()->setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
    Txt_Manual->setHtml(html);
    BuildContents();
}

// The contents are the manual's h2 and h3 headings, each with the anchor it carries.
void TFrm_Manual::BuildContents()
{
    QTreeWidgetItem *chapter = nullptr;
    for (QTextBlock block = Txt_Manual->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level != 2 && level != 3)
            continue;
        auto *item = level == 2 || !chapter ? new QTreeWidgetItem(Tree_Contents)
                                            : new QTreeWidgetItem(chapter);
        if (level == 2)
            chapter = item;
        item->setText(0, block.text().trimmed());
        item->setData(0, Qt::UserRole, block.position());
    }
    Tree_Contents->expandAll();
}

void TFrm_Manual::ContentsClick(QTreeWidgetItem *item)
{
    QTextCursor cursor(Txt_Manual->document());
    cursor.setPosition(item->data(0, Qt::UserRole).toInt());
    // The heading at the top of the view: to the end first, then back to it.
    Txt_Manual->moveCursor(QTextCursor::End);
    Txt_Manual->setTextCursor(cursor);
    Txt_Manual->ensureCursorVisible();
}

void TFrm_Manual::ShowSection(const QString &section)
{
    if (section.isEmpty())
        Txt_Manual->moveCursor(QTextCursor::Start);
    else
        Txt_Manual->scrollToAnchor(section);
}

void TFrm_Manual::SearchNext()
{
    const QString text = Edt_Search->text();
    if (text.isEmpty())
        return;
    if (Txt_Manual->find(text)) {
        Lbl_Search->clear();
        return;
    }
    Txt_Manual->moveCursor(QTextCursor::Start);   // from the top again
    Lbl_Search->setText(Txt_Manual->find(text) ? QStringLiteral("已从头查找")
                                               : QStringLiteral("未找到“%1”").arg(text));
}
