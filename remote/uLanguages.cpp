#include "remote/uLanguages.h"

#include "app/Errors.h"
#include "app/Prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

TLanguagesPanel::TLanguagesPanel(const QString &projectFile, Prompter &prompter, QWidget *parent)
    : QWidget(parent), m_project(projectFile), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Pnl_Languages"));
    BuildControls();
    if (!m_project.isEmpty())
        m_languages = ShowLanguages::read(m_project);
    Fill();
}

void TLanguagesPanel::BuildControls()
{
    Lst_Languages = new QListWidget(this);
    Edt_Tag = new QLineEdit(this);
    Edt_Tag->setPlaceholderText(QStringLiteral("例如 en、ja、zh-Hant"));
    Edt_Name = new QLineEdit(this);
    Edt_Name->setPlaceholderText(QStringLiteral("例如 English；空白时显示语言代码"));
    Btn_Add = new QPushButton(QStringLiteral("添加译文(&T)…"), this);
    Btn_Remove = new QPushButton(QStringLiteral("删除译文(&D)"), this);
    Lbl_Message = new QLabel(this);
    Lbl_Message->setWordWrap(true);
    Lbl_Message->setStyleSheet(QStringLiteral("color: #c00000;"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("语言代码："), Edt_Tag);
    form->addRow(QStringLiteral("显示名称："), Edt_Name);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Add);
    buttons->addWidget(Btn_Remove);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("观众可选的译文："), this));
    layout->addWidget(Lst_Languages);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(Lbl_Message);

    connect(Edt_Tag, &QLineEdit::textChanged, this, &TLanguagesPanel::UpdateButtons);
    connect(Lst_Languages, &QListWidget::currentRowChanged, this, &TLanguagesPanel::UpdateButtons);
    connect(Btn_Add, &QPushButton::clicked, this, &TLanguagesPanel::Add);
    connect(Btn_Remove, &QPushButton::clicked, this, &TLanguagesPanel::Remove);
}

void TLanguagesPanel::Fill()
{
    Lst_Languages->clear();
    for (const Translation &t : m_languages.translations()) {
        const QString state = t.error.isEmpty() ? QStringLiteral("%1 行").arg(t.lines.size()) : t.error;
        Lst_Languages->addItem(QStringLiteral("%1（%2）：%3 — %4").arg(t.name, t.tag, t.file, state));
    }
    Lbl_Message->setText(m_project.isEmpty() ? QStringLiteral("请先保存工程，译文列表保存在工程文件旁。")
                                             : m_languages.errors().join(QLatin1Char('\n')));
    UpdateButtons();
}

void TLanguagesPanel::UpdateButtons()
{
    Btn_Add->setEnabled(!m_project.isEmpty() && !Edt_Tag->text().trimmed().isEmpty());
    Btn_Remove->setEnabled(Lst_Languages->currentRow() >= 0);
}

// Inside the project's folder the path is kept relative, so the show moves
// with its folder.
QString TLanguagesPanel::StoredPath(const QString &chosen) const
{
    const QDir folder = QFileInfo(m_project).absoluteDir();
    const QString relative = folder.relativeFilePath(chosen);
    return relative.startsWith(QLatin1String("..")) ? chosen : relative;
}

void TLanguagesPanel::Add()
{
    static const QRegularExpression tagForm(QStringLiteral("^[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*$"));
    const QString tag = Edt_Tag->text().trimmed();
    if (!tagForm.match(tag).hasMatch())
        return Lbl_Message->setText(QStringLiteral("语言代码“%1”无效：应为 en、ja、zh-Hant 这样的代码。").arg(tag));
    Prompter::FileRequest request;
    request.title = QStringLiteral("选择译文文件");
    request.filter = QStringLiteral("文本与字幕文件(*.txt;*.srt;*.vtt)|*.txt;*.srt;*.vtt|所有文件(*.*)|*.*");
    request.directory = QFileInfo(m_project).absolutePath();
    const QString chosen = m_prompter.openFile(this, request);
    if (chosen.isEmpty())
        return;
    const QString name = Edt_Name->text().trimmed();
    m_languages.add({tag, name.isEmpty() ? tag : name, StoredPath(chosen), {}, {}});
    Save();
}

void TLanguagesPanel::Remove()
{
    const int row = Lst_Languages->currentRow();
    if (row < 0)
        return;
    m_languages.remove(m_languages.translations()[size_t(row)].tag);
    Save();
}

// Written, then read back: the list shows what the file now says, with each
// translation's lines or why it cannot be read.
void TLanguagesPanel::Save()
{
    try {
        m_languages.write(m_project);
    } catch (const VelmoraError &e) {
        m_languages = ShowLanguages::read(m_project);
        Fill();
        return Lbl_Message->setText(e.text());
    }
    m_languages = ShowLanguages::read(m_project);
    Fill();
    emit changed();
}
