#include "editor/tablet.h"

#include "app/AppPaths.h"
#include "app/Errors.h"
#include "app/ScenarioEncodings.h"
#include "editor/LineSpacing.h"
#include "editor/ScenarioDocument.h"
#include "render/Faces.h"
#include "render/SwatchCombo.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

const unsigned TFrm_Tablet::EntryColours[3] = {255, 0xFFFF, 0xFF00};

namespace {
const QString Untitled = QStringLiteral("未命名");
const QString Filter = QStringLiteral("Txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf");
const QString DefaultSuffix = QStringLiteral("rtf");
const QString UnstorableText =
    QStringLiteral("“%1”是%2编码，不能保存文档中的这些字符：%3\n保存后它们将变为“?”。是否继续保存？");
const QString StartingFace = QStringLiteral("宋体");
const QString StartingSize = QStringLiteral("12");
constexpr int StartingTwentieths = 15;
// The largest size a rich edit accepts; smaller than 1 point draws nothing.
constexpr int MaxPoints = 1638;

QColor FromBgr(unsigned value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QAction *MakeAction(QObject *parent, const char *name, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QLatin1String(name));
    return action;
}

QString FaceOf(const QTextCharFormat &format, const QFont &fallback)
{
    const QString face = format.fontFamilies().toStringList().value(0);
    if (!face.isEmpty())
        return face;
    const QString single = format.stringProperty(QTextFormat::FontFamily);
    return single.isEmpty() ? fallback.family() : single;
}

// What the format bar shows for a selection: a face and a colour only when
// the whole selection has one; a style only when all of it has the style;
// the size of its first character.
struct SelectionSummary {
    QString face;
    bool oneFace = true;
    QColor colour;            // invalid: the automatic colour
    bool oneColour = true;
    qreal points = 0;
    bool bold = true, italic = true, underline = true;
};

void AddFormat(SelectionSummary &s, const QTextCharFormat &f, const QFont &fallback, bool first)
{
    const QString face = FaceOf(f, fallback);
    const QColor colour = f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor();
    if (first) {
        s.face = face;
        s.colour = colour;
        s.points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : fallback.pointSizeF();
    }
    s.oneFace = s.oneFace && face == s.face;
    s.oneColour = s.oneColour && colour == s.colour;
    s.bold = s.bold && f.fontWeight() >= QFont::Bold;
    s.italic = s.italic && f.fontItalic();
    s.underline = s.underline && f.fontUnderline();
}

SelectionSummary Summarise(const QTextCursor &cursor, const QFont &fallback)
{
    SelectionSummary s;
    if (!cursor.hasSelection()) {
        AddFormat(s, cursor.charFormat(), fallback, true);
        return s;
    }
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    bool first = true;
    for (QTextBlock b = cursor.document()->findBlock(start); b.isValid() && b.position() < end;
         b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= start || fragment.position() >= end)
                continue;
            AddFormat(s, fragment.charFormat(), fallback, first);
            first = false;
        }
    }
    if (first)   // only paragraph marks selected
        AddFormat(s, cursor.charFormat(), fallback, true);
    return s;
}

QString ShortestDecimal(int twentieths)
{
    return QString::number(twentieths / 20.0, 'g', QLocale::FloatingPointShortest);
}

QStringList ScreenFaces()
{
    QStringList faces = QFontDatabase::families();
    // The Windows names the substitutions provide, so that files naming them
    // find their face in the list.
    for (const QString &name : SubstitutedFaceNames())
        if (!faces.contains(name))
            faces << name;
    std::sort(faces.begin(), faces.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return faces;
}
} // namespace

TFrm_Tablet::TFrm_Tablet(Prompter *prompter, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_prompter(prompter)
{
    EnsureFaceSubstitutions();
    setObjectName(QStringLiteral("Frm_Tablet"));
    resize(504, 401);
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildMenus();
    layout->setMenuBar(MainMenu1);
    BuildToolBar();
    layout->addWidget(ToolBar1);
    BuildFormatBar();
    layout->addWidget(Panel2);
    BuildDocumentArea();
    layout->addWidget(ScrollBox1, 1);

    m_saveDialog.filter = Filter;
    m_saveDialog.defaultSuffix = DefaultSuffix;
    m_saveDialog.confirmOverwrite = true;
    connect(RichEdit1->document(), &QTextDocument::modificationChanged, this, &TFrm_Tablet::UpdateTitle);
    SetStartingValues();
}

void TFrm_Tablet::BuildMenus()
{
    MainMenu1 = new QMenuBar(this);
    QMenu *file = MainMenu1->addMenu(QStringLiteral("文件(&F)"));
    N1 = MakeAction(this, "N1", QStringLiteral("新建(&N)"));
    O1 = MakeAction(this, "O1", QStringLiteral("打开(&O)"));
    N11 = MakeAction(this, "N11", QStringLiteral("保存(&S)"));
    S1 = MakeAction(this, "S1", QStringLiteral("另存为(&A)"));
    E1 = MakeAction(this, "E1", QStringLiteral("退出(&X)"));
    file->addActions({N1, O1, N11, S1});
    file->addSeparator();
    file->addAction(E1);

    QMenu *edit = MainMenu1->addMenu(QStringLiteral("编辑(&E)"));
    A1 = MakeAction(this, "A1", QStringLiteral("全选(&A)"));
    U1 = MakeAction(this, "U1", QStringLiteral("撤消(&U)"));
    R1 = MakeAction(this, "R1", QStringLiteral("重做(&R)"));
    // The platform's redo key is Ctrl+Shift+Z; operators from Windows press Ctrl+Y.
    R1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence::Redo});
    X1 = MakeAction(this, "X1", QStringLiteral("剪切(&T)"));
    C1 = MakeAction(this, "C1", QStringLiteral("复制(&C)"));
    P1 = MakeAction(this, "P1", QStringLiteral("粘贴(&P)"));
    D1 = MakeAction(this, "D1", QStringLiteral("删除(&D)"));
    edit->addActions({A1, U1, R1});
    edit->addSeparator();
    edit->addActions({X1, C1, P1, D1});

    PopupMenu1 = new QMenu(this);
    N6 = MakeAction(this, "N6", QStringLiteral("撤消[&U]"));
    N2 = MakeAction(this, "N2", QStringLiteral("删除[&D]"));
    N3 = MakeAction(this, "N3", QStringLiteral("剪切[&T]"));
    N4 = MakeAction(this, "N4", QStringLiteral("复制[&C]"));
    N5 = MakeAction(this, "N5", QStringLiteral("粘贴[&P]"));
    A2 = MakeAction(this, "A2", QStringLiteral("全选[&A]"));
    PopupMenu1->addActions({N6, N2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({N3, N4, N5});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(A2);

    for (QAction *a : {X1, C1, D1, N2, N3, N4, U1, N6, R1})
        a->setEnabled(false);
    connect(N1, &QAction::triggered, this, &TFrm_Tablet::N1Click);
    connect(O1, &QAction::triggered, this, &TFrm_Tablet::O1Click);
    connect(N11, &QAction::triggered, this, &TFrm_Tablet::N11Click);
    connect(S1, &QAction::triggered, this, &TFrm_Tablet::S1Click);
    connect(E1, &QAction::triggered, this, &QWidget::close);
}

void TFrm_Tablet::BuildToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    QStyle *st = style();
    auto add = [&](const char *name, const QString &text, const QString &hint, const QIcon &icon) {
        QAction *a = MakeAction(this, name, text);
        a->setToolTip(hint);
        a->setIcon(icon);
        a->setCheckable(true);
        ToolBar1->addAction(a);
        return a;
    };
    auto letter = [](const QString &text, void (QFont::*style)(bool)) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(13);
        (font.*style)(true);
        p.setFont(font);
        p.drawText(pixmap.rect(), Qt::AlignCenter, text);
        return QIcon(pixmap);
    };
    auto lines = [](Qt::Alignment alignment) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        for (int row = 0; row < 5; ++row) {
            const int w = row % 2 ? 8 : 12;
            const int x = alignment == Qt::AlignLeft ? 2 : alignment == Qt::AlignRight ? 14 - w : 8 - w / 2;
            p.fillRect(x, 3 + row * 2, w, 1, Qt::black);
        }
        return QIcon(pixmap);
    };
    BtnNew = add("BtnNew", QStringLiteral("新建"), QStringLiteral("新建Rtf文件"),
                 st->standardIcon(QStyle::SP_FileIcon));
    BtnOpen = add("BtnOpen", QStringLiteral("打开"), QStringLiteral("打开Rtf文件"),
                  st->standardIcon(QStyle::SP_DialogOpenButton));
    BtnSave = add("BtnSave", QStringLiteral("保存"), QStringLiteral("保存Rtf文件"),
                  st->standardIcon(QStyle::SP_DialogSaveButton));
    ToolBar1->addSeparator();
    BtnBold = add("BtnBold", QStringLiteral("黑体"), QStringLiteral("黑体"),
                  letter(QStringLiteral("B"), &QFont::setBold));
    BtnItalic = add("BtnItalic", QStringLiteral("斜体"), QStringLiteral("斜体"),
                    letter(QStringLiteral("I"), &QFont::setItalic));
    BtnUnderLine = add("BtnUnderLine", QStringLiteral("下划线"), QStringLiteral("下划线"),
                       letter(QStringLiteral("U"), &QFont::setUnderline));
    ToolBar1->addSeparator();
    BtnLeft = add("BtnLeft", QStringLiteral("居左"), QStringLiteral("居左"), lines(Qt::AlignLeft));
    BtnCenter = add("BtnCenter", QStringLiteral("居中"), QStringLiteral("居中"),
                    lines(Qt::AlignHCenter));
    BtnRight = add("BtnRight", QStringLiteral("居右"), QStringLiteral("居右"), lines(Qt::AlignRight));

    auto *files = new QActionGroup(this);
    for (QAction *a : {BtnNew, BtnOpen, BtnSave})
        files->addAction(a);
    auto *alignment = new QActionGroup(this);
    for (QAction *a : {BtnLeft, BtnCenter, BtnRight}) {
        alignment->addAction(a);
        connect(a, &QAction::triggered, this, &TFrm_Tablet::AlignClick);
    }
    connect(BtnNew, &QAction::triggered, this, &TFrm_Tablet::N1Click);
    connect(BtnOpen, &QAction::triggered, this, &TFrm_Tablet::O1Click);
    connect(BtnSave, &QAction::triggered, this, &TFrm_Tablet::N11Click);
    connect(BtnBold, &QAction::triggered, this, &TFrm_Tablet::BtnBoldClick);
    connect(BtnItalic, &QAction::triggered, this, &TFrm_Tablet::BtnItalicClick);
    connect(BtnUnderLine, &QAction::triggered, this, &TFrm_Tablet::BtnUnderLineClick);
}

void TFrm_Tablet::BuildFormatBar()
{
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    QFont font(StartingFace);
    font.setPixelSize(12);
    Panel2->setFont(font);
    auto *row = new QHBoxLayout(Panel2);
    row->setContentsMargins(4, 2, 4, 2);

    ComboBox1 = new QComboBox(Panel2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("字体"));
    ComboBox1->setMinimumContentsLength(12);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto *colours = new TSwatchCombo(22, 0, Panel2);
    const QStringList captions{QStringLiteral("红"), QStringLiteral("黄"), QStringLiteral("绿")};
    for (int i = 0; i < captions.size(); ++i)
        colours->addSwatch(captions[i], FromBgr(EntryColours[i]));
    ComboBox3 = colours;
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->setMinimumWidth(80);

    ComboBox2 = new QComboBox(Panel2);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    // Every keystroke is a size: no completion may add digits to it, and
    // Enter must not grow the list.
    ComboBox2->setCompleter(nullptr);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    for (int points : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        ComboBox2->addItem(QString::number(points));
    ComboBox2->setMinimumContentsLength(4);

    Label2 = new QLabel(QStringLiteral("行高"), Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edt_LineSpace = new QLineEdit(Panel2);
    Edt_LineSpace->setObjectName(QStringLiteral("Edt_LineSpace"));
    Edt_LineSpace->setToolTip(QStringLiteral("行间距"));
    Edt_LineSpace->setReadOnly(true);
    Edt_LineSpace->setFixedWidth(44);

    SpinBtn_LineSpac = new QWidget(Panel2);
    SpinBtn_LineSpac->setObjectName(QStringLiteral("SpinBtn_LineSpac"));
    auto *spin = new QVBoxLayout(SpinBtn_LineSpac);
    spin->setContentsMargins(0, 0, 0, 0);
    spin->setSpacing(0);
    auto arrow = [&](const char *name, Qt::ArrowType type) {
        auto *b = new QToolButton(SpinBtn_LineSpac);
        b->setObjectName(QLatin1String(name));
        b->setArrowType(type);
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        spin->addWidget(b);
        return b;
    };
    SpinBtn_LineSpacUp = arrow("SpinBtn_LineSpacUp", Qt::UpArrow);
    SpinBtn_LineSpacDown = arrow("SpinBtn_LineSpacDown", Qt::DownArrow);

    row->addWidget(ComboBox1);
    row->addWidget(ComboBox3);
    row->addWidget(ComboBox2);
    row->addSpacing(8);
    row->addWidget(Label2);
    row->addWidget(Edt_LineSpace);
    row->addWidget(SpinBtn_LineSpac);
    row->addStretch(1);

    connect(ComboBox1, &QComboBox::activated, this, &TFrm_Tablet::ComboBox1Change);
    connect(ComboBox3, &QComboBox::activated, this, &TFrm_Tablet::ComboBox3Change);
    connect(ComboBox2, &QComboBox::activated, this, &TFrm_Tablet::ComboBox2Change);
    connect(ComboBox2->lineEdit(), &QLineEdit::textEdited, this, &TFrm_Tablet::ComboBox2Change);
    connect(Edt_LineSpace, &QLineEdit::textChanged, this, &TFrm_Tablet::Edt_LineSpaceChange);
    connect(SpinBtn_LineSpacUp, &QToolButton::clicked, this, &TFrm_Tablet::SpinBtn_LineSpacUpClick);
    connect(SpinBtn_LineSpacDown, &QToolButton::clicked, this,
            &TFrm_Tablet::SpinBtn_LineSpacDownClick);
}

void TFrm_Tablet::BuildDocumentArea()
{
    ScrollBox1 = new QFrame(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto *box = new QVBoxLayout(ScrollBox1);
    box->setContentsMargins(2, 2, 2, 2);

    RichEdit1 = new QTextEdit(ScrollBox1);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font(StartingFace);
    font.setPixelSize(16);
    RichEdit1->document()->setDefaultFont(font);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    box->addWidget(RichEdit1);

    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu1->popup(RichEdit1->viewport()->mapToGlobal(pos));
    });
    connect(RichEdit1, &QTextEdit::selectionChanged, this, &TFrm_Tablet::RichEdit1SelectionChange);
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this,
            &TFrm_Tablet::RichEdit1SelectionChange);
    connect(RichEdit1, &QTextEdit::undoAvailable, U1, &QAction::setEnabled);
    connect(RichEdit1, &QTextEdit::undoAvailable, N6, &QAction::setEnabled);
    connect(RichEdit1, &QTextEdit::redoAvailable, R1, &QAction::setEnabled);
    connect(R1, &QAction::triggered, RichEdit1, &QTextEdit::redo);

    for (QAction *a : {U1, N6})
        connect(a, &QAction::triggered, RichEdit1, &QTextEdit::undo);
    for (QAction *a : {A1, A2})
        connect(a, &QAction::triggered, RichEdit1, &QTextEdit::selectAll);
    for (QAction *a : {X1, N3})
        connect(a, &QAction::triggered, RichEdit1, &QTextEdit::cut);
    for (QAction *a : {C1, N4})
        connect(a, &QAction::triggered, this, [this] {
            RichEdit1->copy();
            UpdatePasteEntries();
        });
    for (QAction *a : {P1, N5})
        connect(a, &QAction::triggered, RichEdit1, &QTextEdit::paste);
    for (QAction *a : {D1, N2})
        connect(a, &QAction::triggered, this, [this] { RichEdit1->textCursor().removeSelectedText(); });
    // A cut elsewhere fills the clipboard too: the paste entries follow it.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &TFrm_Tablet::UpdatePasteEntries);
}

// The creation steps: paste entries, format bar and default format, left
// alignment, the starting line spacing, the names. The starting spacing is
// not a change of the operator's: an untouched new document asks nothing.
void TFrm_Tablet::SetStartingValues()
{
    UpdatePasteEntries();

    ComboBox1->addItems(ScreenFaces());
    ComboBox1->addItem(QString());
    const int face = ComboBox1->findText(StartingFace);
    ComboBox1->setCurrentIndex(face >= 0 ? face : qMin(1, ComboBox1->count() - 1));
    ComboBox2->setCurrentIndex(ComboBox2->findText(StartingSize));
    ComboBox3->setCurrentIndex(0);

    m_defaultCharFormat.setFontFamilies(QStringList{ComboBox1->currentText()});
    m_defaultCharFormat.setFontPointSize(StartingSize.toInt());
    m_defaultCharFormat.setForeground(FromBgr(EntryColours[0]));
    RichEdit1->setCurrentCharFormat(m_defaultCharFormat);

    RichEdit1->setAlignment(Qt::AlignLeft);
    ShowTwentieths(StartingTwentieths);   // the box's change applies it
    RichEdit1->document()->clearUndoRedoStacks();
    RichEdit1->document()->setModified(false);

    m_defaultSaveName = QStringLiteral("未命名-1.rtf");
    SetDocumentName(Untitled);
}

void TFrm_Tablet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (QScreen *s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    UpdatePasteEntries();
    RichEdit1->setFocus();
}

void TFrm_Tablet::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// Escape would close the window past the close query; like the other keys it
// belongs to the document.
void TFrm_Tablet::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrm_Tablet::SetDocumentName(const QString &name)
{
    m_documentName = name;
    UpdateTitle();
}

void TFrm_Tablet::UpdateTitle()
{
    const QString mark = RichEdit1->document()->isModified() ? QStringLiteral("*") : QString();
    setWindowTitle(QStringLiteral("%1%2 - %3")
                       .arg(QFileInfo(m_documentName).fileName(), mark, QStringLiteral("剧本编辑")));
}

void TFrm_Tablet::UpdatePasteEntries()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    const bool text = data && data->hasText();
    P1->setEnabled(text);
    N5->setEnabled(text);
}

QString TFrm_Tablet::DocumentsFolder() const
{
    const QString folder = QDir(AppPaths::programDir()).filePath(QStringLiteral("Documents"));
    return QFileInfo(folder).isDir() ? folder : QString();
}

bool TFrm_Tablet::OpenDocument(const QString &path)
{
    QTextBlockFormat paragraph;
    paragraph.setAlignment(Qt::AlignLeft);
    LineSpacing::Apply(paragraph, StartingTwentieths);
    QTextDocument *doc = RichEdit1->document();
    // Wrapping anywhere lays any text out in linear time; word wrapping is
    // restored unless a line has a run that would make it freeze the window.
    const QTextOption::WrapMode wrap = RichEdit1->wordWrapMode();
    RichEdit1->setWordWrapMode(QTextOption::WrapAnywhere);
    // The window's cursor stays at the start while the text is inserted: left
    // at the end, leaving it there would lay out the whole document at once.
    QTextCursor start(doc);
    start.setKeepPositionOnInsert(true);
    RichEdit1->setTextCursor(start);
    try {
        m_encoding = LoadScenarioDocument(path, doc, m_defaultCharFormat, paragraph);
        m_strayBytesAccepted = false;
    } catch (const VelmoraError &e) {
        RichEdit1->setWordWrapMode(wrap);
        m_prompter->error(this, e.text());
        return false;
    }
    RichEdit1->setWordWrapMode(ScenarioWrapMode(*doc));
    doc->clearUndoRedoStacks();
    RichEdit1->setTextCursor(QTextCursor(doc));
    SetDocumentName(path);
    RichEdit1->setFocus();
    RichEdit1SelectionChange();
    doc->setModified(false);
    return true;
}

// A character GBK cannot hold would be written as '?': the operator decides.
bool TFrm_Tablet::WriteDocument(const QString &path)
{
    const QString text = ScenarioFileText(*RichEdit1->document());
    if (!AcceptStrayBytes(text, path))
        return false;
    const QString unstorable = UnstorableCharacters(text, m_encoding);
    if (!unstorable.isEmpty()
        && m_prompter->message(this,
                               UnstorableText.arg(QFileInfo(path).fileName(), EncodingName(m_encoding),
                                                  unstorable),
                               QStringLiteral("提示"), Prompter::Warning, Prompter::Yes | Prompter::No)
               != Prompter::Yes)
        return false;
    try {
        SaveScenarioDocument(path, *RichEdit1->document(), m_encoding);
        RememberEncoding(path, m_encoding);
        emit documentSaved(path);
        return true;
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());
        return false;
    }
}

// A UTF-8 file read with bytes that are no UTF-8 keeps them; it is written
// only with the operator's yes, once for each time it is opened.
bool TFrm_Tablet::AcceptStrayBytes(const QString &text, const QString &path)
{
    const auto stray = std::find_if(text.begin(), text.end(), IsKeptByte);
    if (stray == text.end() || m_encoding == TextEncoding::Gbk || m_strayBytesAccepted)
        return true;
    const int line = int(std::count(text.begin(), stray, QLatin1Char('\n'))) + 1;
    m_strayBytesAccepted =
        m_prompter->message(this,
                            QStringLiteral("“%1”第%2行不是有效的UTF-8。\n无效的字节将原样保留。是否写入这个文件？")
                                .arg(QFileInfo(path).fileName())
                                .arg(line),
                            QStringLiteral("提示"), Prompter::Warning, Prompter::Yes | Prompter::No)
        == Prompter::Yes;
    return m_strayBytesAccepted;
}

void TFrm_Tablet::N1Click()
{
    if (!FormCloseQuery())
        return;
    SetDocumentName(Untitled);
    m_encoding = TextEncoding::Gbk;
    const QTextCharFormat character = RichEdit1->currentCharFormat();
    const QTextBlockFormat paragraph = RichEdit1->textCursor().blockFormat();
    SetPlainContent(QString(), RichEdit1->document(), character, paragraph);
    RichEdit1->setCurrentCharFormat(character);
    RichEdit1->document()->clearUndoRedoStacks();
    RichEdit1->document()->setModified(false);
}

void TFrm_Tablet::O1Click()
{
    Prompter::FileRequest request;
    request.filter = Filter;
    request.defaultSuffix = DefaultSuffix;
    request.directory = DocumentsFolder();
    const QString path = m_prompter->openFile(this, request);
    if (!path.isEmpty() && FormCloseQuery())
        OpenDocument(path);
}

bool TFrm_Tablet::N11Click()
{
    if (m_documentName == Untitled)
        return S1Click();
    if (!WriteDocument(m_documentName))
        return false;
    RichEdit1->document()->setModified(false);
    return true;
}

bool TFrm_Tablet::S1Click()
{
    m_saveDialog.directory = DocumentsFolder();
    const QString path = m_prompter->saveFile(this, m_saveDialog);
    if (path.isEmpty())
        return false;
    m_saveDialog.fileName = path;
    if (!WriteDocument(path))
        return false;
    SetDocumentName(path);
    RichEdit1->document()->setModified(false);
    return true;
}

// The question names the document's file and its save dialog offers it (the
// default save name for a new document); a save that fails or is cancelled
// keeps the window open. New and Open ask it too before the text goes.
bool TFrm_Tablet::FormCloseQuery()
{
    if (!RichEdit1->document()->isModified())
        return true;
    m_saveDialog.title = QStringLiteral("保存");
    const bool untitled = m_documentName == Untitled;
    const QString question = untitled ? QStringLiteral("是否保存对文档的修改？")
                                      : QStringLiteral("是否保存对文档“%1”的修改？")
                                            .arg(QFileInfo(m_documentName).fileName());
    const int answer = m_prompter->message(this, question, QStringLiteral("存盘信息"), Prompter::Question,
                                           Prompter::Yes | Prompter::No | Prompter::Cancel);
    if (answer == Prompter::No)
        return true;
    if (answer != Prompter::Yes)
        return false;
    m_saveDialog.fileName = untitled ? m_defaultSaveName : m_documentName;
    const QString path = m_prompter->saveFile(this, m_saveDialog);
    if (path.isEmpty())
        return false;
    m_saveDialog.fileName = path;
    return WriteDocument(path);
}

void TFrm_Tablet::MergeFormat(const QTextCharFormat &format)
{
    RichEdit1->mergeCurrentCharFormat(format);
}

void TFrm_Tablet::ComboBox1Change(int index)
{
    const QString face = ComboBox1->itemText(index);
    if (!face.isEmpty()) {
        QTextCharFormat format;
        format.setFontFamilies(QStringList{face});
        MergeFormat(format);
    }
    RichEdit1->setFocus();
}

// Any whole number is a size; other text becomes "12". Sizes outside what a
// font can have are held to 1 and 1638 points.
void TFrm_Tablet::ComboBox2Change()
{
    bool ok = false;
    int points = ComboBox2->currentText().trimmed().toInt(&ok);
    if (!ok) {
        ComboBox2->setEditText(StartingSize);
        points = StartingSize.toInt();
    }
    QTextCharFormat format;
    format.setFontPointSize(qBound(1, points, MaxPoints));
    MergeFormat(format);
}

void TFrm_Tablet::ComboBox3Change(int index)
{
    if (index >= 0 && index < 3) {
        QTextCharFormat format;
        format.setForeground(FromBgr(EntryColours[index]));
        MergeFormat(format);
    }
    RichEdit1->setFocus();
}

void TFrm_Tablet::BtnBoldClick(bool pressed)
{
    QTextCharFormat format;
    format.setFontWeight(pressed ? QFont::Bold : QFont::Normal);
    MergeFormat(format);
}

void TFrm_Tablet::BtnItalicClick(bool pressed)
{
    QTextCharFormat format;
    format.setFontItalic(pressed);
    MergeFormat(format);
}

void TFrm_Tablet::BtnUnderLineClick(bool pressed)
{
    QTextCharFormat format;
    format.setFontUnderline(pressed);
    MergeFormat(format);
}

void TFrm_Tablet::AlignClick()
{
    RichEdit1->setAlignment(BtnRight->isChecked()    ? Qt::AlignRight
                            : BtnCenter->isChecked() ? Qt::AlignHCenter
                                                     : Qt::AlignLeft);
}

int TFrm_Tablet::ShownTwentieths() const
{
    // Halves go to the even neighbour (the default rounding mode).
    const double lines = Edt_LineSpace->text().toDouble();
    return qBound(0, int(std::nearbyint(lines * 20)), LineSpacing::Max);
}

void TFrm_Tablet::ShowTwentieths(int twentieths)
{
    Edt_LineSpace->setText(ShortestDecimal(twentieths));
}

// The value travels in one byte: above 12.75 lines the button stops.
void TFrm_Tablet::SpinBtn_LineSpacUpClick()
{
    const int n = ShownTwentieths();
    if (n < LineSpacing::Max)
        ShowTwentieths(n + 1);
}

void TFrm_Tablet::SpinBtn_LineSpacDownClick()
{
    const int n = ShownTwentieths();
    if (n > StartingTwentieths)
        ShowTwentieths(n - 1);
}

void TFrm_Tablet::Edt_LineSpaceChange()
{
    SetLineSpacing(ShownTwentieths());
}

void TFrm_Tablet::SetLineSpacing(int twentieths)
{
    QTextBlockFormat format;
    LineSpacing::Apply(format, twentieths);
    RichEdit1->textCursor().mergeBlockFormat(format);
}

// The format bar shows the selection. The line-spacing box is only shown
// here, not applied: applying it would give every selected paragraph the
// first one's spacing.
void TFrm_Tablet::RichEdit1SelectionChange()
{
    const QTextCursor cursor = RichEdit1->textCursor();
    const SelectionSummary s = Summarise(cursor, RichEdit1->document()->defaultFont());

    const int face = s.oneFace ? ComboBox1->findText(s.face) : -1;
    ComboBox1->setCurrentIndex(face >= 0 ? face : ComboBox1->count() - 1);

    const QString points = QString::number(qRound(s.points));
    const int size = ComboBox2->findText(points);
    if (size >= 0)
        ComboBox2->setCurrentIndex(size);
    else
        ComboBox2->setEditText(points);

    BtnBold->setChecked(s.bold);
    BtnItalic->setChecked(s.italic);
    BtnUnderLine->setChecked(s.underline);

    const Qt::Alignment alignment =
        RichEdit1->document()->findBlock(cursor.selectionStart()).blockFormat().alignment();
    QAction *pressed = (alignment & Qt::AlignRight)     ? BtnRight
                       : (alignment & Qt::AlignHCenter) ? BtnCenter
                                                        : BtnLeft;
    pressed->setChecked(true);

    if (!s.oneColour) {
        ComboBox3->setCurrentIndex(-1);
    } else {
        for (int i = 0; i < 3; ++i)
            if (s.colour.isValid() && s.colour == FromBgr(EntryColours[i]))
                ComboBox3->setCurrentIndex(i);
    }

    const bool selected = cursor.hasSelection();
    for (QAction *a : {X1, C1, D1, N3, N4, N2})
        a->setEnabled(selected);

    const QSignalBlocker blocker(Edt_LineSpace);
    ShowTwentieths(LineSpacing::Twentieths(
        RichEdit1->document()->findBlock(cursor.selectionStart()).blockFormat()));
}
