// The font settings dialog: the face list, how a project is shown, what "确定"
// stores and that "取消" stores nothing; the colour list's drawing and colours.
#include "TestWindow.h"

#include "app/ProjectFile.h"
#include "app/Struct.h"
#include "render/Faces.h"
#include "render/uFont.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QRawFont>
#include <QtTest>
#include <cstring>

class TestFontDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void faceList();
    void faceNotInstalledSelectsSongti();
    void blanksAroundStoredFace();
    void singleColourOffersRedOnly();
    void dualColour();
    void heights();
    void alignment();
    void cancelChangesNothing();
    void colourSwatches();
    void colourListColours();
    void colourBoxAndListAsShown();
    void clientArea();
    void openedFromMenuAndToolBar();

private:
    TFrm_Font *open();
    TProjectState m_project;
    std::unique_ptr<TFrm_Font> m_dialog;
};

void TestFontDialog::init()
{
    m_dialog.reset();
    m_project = TProjectState();
    SetStartupDefaults(m_project.ProjectRecord);
    m_project.ProjectSaved = true;
}

TFrm_Font *TestFontDialog::open()
{
    m_dialog = std::make_unique<TFrm_Font>(m_project, nullptr);
    return m_dialog.get();
}

void TestFontDialog::faceList()
{
    const QStringList faces = ScreenFontNames();
    // The names operators know first, then the other faces that draw Chinese.
    QCOMPARE(faces.mid(0, 5), (QStringList{QStringLiteral("宋体"), QStringLiteral("黑体"),
                                           QStringLiteral("楷体"), QStringLiteral("微软雅黑"),
                                           QStringLiteral("新宋体")}));
    const auto drawsChinese = [](const QString &name) {
        QFont font(name);
        font.setStyleStrategy(QFont::NoFontMerging);
        return QRawFont::fromFont(font).supportsCharacter(QChar(u'中'));
    };
    int latinFrom = 5;
    while (latinFrom < faces.size() && drawsChinese(faces[latinFrom]))
        ++latinFrom;
    for (const char *chinese : {"AR PL UKai CN", "AR PL UMing CN", "SimHei", "SimSun",
                                "WenQuanYi Zen Hei"})
        QVERIFY2(faces.indexOf(QLatin1String(chinese)) >= 5, chinese);
    for (int i = latinFrom; i < faces.size(); ++i)
        QVERIFY2(!drawsChinese(faces[i]), qPrintable(faces[i]));
    QVERIFY(faces.indexOf(QStringLiteral("MS Sans Serif")) >= latinFrom);
    // One entry for the regional variants of a family: the mainland one.
    for (const char *variant : {"AR PL UKai HK", "AR PL UKai TW", "AR PL UKai TW MBE",
                                "AR PL UMing HK", "AR PL UMing TW", "AR PL UMing TW MBE"})
        QVERIFY2(!faces.contains(QLatin1String(variant)), variant);
    // Faces that draw no text: symbol (Dingbats, Standard Symbols) and math.
    for (const QString &family : QFontDatabase::families()) {
        const QString plain = PlainFamilyName(family);
        if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol)
            || plain.contains(QStringLiteral("Math")) || IsGenericFamily(family))
            QVERIFY2(!faces.contains(plain), qPrintable(family));
        else if (plain.startsWith(QStringLiteral("DejaVu")) || plain.startsWith(QStringLiteral("Nimbus")))
            QVERIFY2(faces.contains(plain), qPrintable(family));
    }
    QCOMPARE(PlainFamilyName(QStringLiteral("Nimbus Sans [URW ]")), QStringLiteral("Nimbus Sans"));
    QCOMPARE(PlainFamilyName(QStringLiteral("AR PL UMing CN")), QStringLiteral("AR PL UMing CN"));
    // Each group sorted by name, every name once, no "@" face.
    for (int i = 1; i < faces.size(); ++i) {
        QVERIFY(!faces[i].startsWith(QLatin1Char('@')));
        QCOMPARE(faces.count(faces[i]), 1);
        if (i > 5 && i != latinFrom)
            QVERIFY2(faces[i - 1].compare(faces[i], Qt::CaseInsensitive) < 0,
                     qPrintable(faces[i - 1] + QStringLiteral(" / ") + faces[i]));
    }
    QCOMPARE(open()->Comb_Font->count(), faces.size());

    // A project whose face the list leaves out keeps it.
    m_project.ProjectRecord.FontName.setText(QStringLiteral("AR PL UKai TW"));
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_Font->currentText(), QStringLiteral("AR PL UKai TW"));
    QCOMPARE(d->Comb_Font->count(), faces.size() + 1);
    d->Btn_OK->click();
    QCOMPARE(m_project.ProjectRecord.FontName.text(), QStringLiteral("AR PL UKai TW"));
}

void TestFontDialog::faceNotInstalledSelectsSongti()
{
    m_project.ProjectRecord.FontName.setText(QStringLiteral("No Such Face 7"));
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_Font->currentText(), QStringLiteral("宋体"));
    d->Btn_OK->click();
    QCOMPARE(m_project.ProjectRecord.FontName.text(), QStringLiteral("宋体"));
    QVERIFY(!m_project.ProjectSaved);
}

void TestFontDialog::blanksAroundStoredFace()
{
    m_project.ProjectRecord.FontName.setText(QStringLiteral(" 黑体  "));
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_Font->currentText(), QStringLiteral("黑体"));
    d->Btn_OK->click();
    QCOMPARE(m_project.ProjectRecord.FontName.text(), QStringLiteral("黑体"));

    // Face names are not case-sensitive; the list's spelling is stored.
    m_project.ProjectRecord.FontName.setText(QStringLiteral("simhei"));
    d = open();
    QCOMPARE(d->Comb_Font->currentText(), QStringLiteral("SimHei"));
}

void TestFontDialog::singleColourOffersRedOnly()
{
    TProjectRecord &r = m_project.ProjectRecord;
    r.ColorMode = 1;
    r.FontColor = 0x8000;
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_FontColor->count(), 1);
    QCOMPARE(d->Comb_FontColor->itemText(0), QStringLiteral("红"));
    QCOMPARE(d->Comb_FontColor->currentIndex(), -1);
    d->Btn_OK->click();
    QCOMPARE(r.FontColor, 0x8000);   // kept: nothing was chosen

    r.FontColor = 0x123456;   // any other value shows red
    d = open();
    QCOMPARE(d->Comb_FontColor->currentIndex(), 0);
    d->Btn_OK->click();
    QCOMPARE(r.FontColor, 255);
}

void TestFontDialog::dualColour()
{
    TProjectRecord &r = m_project.ProjectRecord;
    r.ColorMode = 2;
    r.FontColor = 0xFFFF;
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_FontColor->count(), 3);
    QCOMPARE(d->Comb_FontColor->itemText(1), QStringLiteral("绿"));
    QCOMPARE(d->Comb_FontColor->currentText(), QStringLiteral("黄"));
    d->Comb_FontColor->setCurrentIndex(1);
    d->Btn_OK->click();
    QCOMPARE(r.FontColor, 0x8000);

    r.FontColor = 0x8000;
    d = open();
    QCOMPARE(d->Comb_FontColor->currentIndex(), 1);
    d->Comb_FontColor->setCurrentIndex(2);
    d->Btn_OK->click();
    QCOMPARE(r.FontColor, 0xFFFF);
}

void TestFontDialog::heights()
{
    TProjectRecord &r = m_project.ProjectRecord;
    r.FontHeight = 0;
    r.FontWidth = 30;
    TFrm_Font *d = open();
    QVERIFY(d->Radiobtn_AutoHeight->isChecked());
    QCOMPARE(d->Numedt_Height->value(), 24);
    QCOMPARE(d->Numedt_Width->value(), 24);
    d->Btn_OK->click();
    QCOMPARE(r.FontHeight, uint8_t(0));
    QCOMPARE(r.FontWidth, uint8_t(30));   // automatic height leaves the width

    r.FontHeight = 20;
    r.FontWidth = 10;
    d = open();
    QVERIFY(d->Radiobtn_UserHeight->isChecked());
    QCOMPARE(d->Numedt_Height->value(), 20);
    QCOMPARE(d->Numedt_Width->value(), 10);
    d->Numedt_Height->setValue(99);   // the spin box keeps 1..48
    d->Numedt_Width->setValue(12);
    d->Btn_OK->click();
    QCOMPARE(r.FontHeight, uint8_t(48));
    QCOMPARE(r.FontWidth, uint8_t(12));

    d = open();
    d->Radiobtn_AutoHeight->setChecked(true);
    d->Btn_OK->click();
    QCOMPARE(r.FontHeight, uint8_t(0));
    QCOMPARE(r.FontWidth, uint8_t(12));
}

void TestFontDialog::alignment()
{
    TProjectRecord &r = m_project.ProjectRecord;
    r.TextAlign = 2;
    TFrm_Font *d = open();
    QCOMPARE(d->Comb_Align->currentText(), QStringLiteral("居右"));
    d->Comb_Align->setCurrentIndex(1);
    d->Btn_OK->click();
    QCOMPARE(r.TextAlign, uint8_t(1));

    // A damaged value selects nothing and is not replaced by 255.
    r.TextAlign = 9;
    d = open();
    QCOMPARE(d->Comb_Align->currentIndex(), -1);
    d->Btn_OK->click();
    QCOMPARE(r.TextAlign, uint8_t(9));
}

void TestFontDialog::cancelChangesNothing()
{
    TProjectRecord &r = m_project.ProjectRecord;
    r.ColorMode = 2;
    r.FontName.setText(QStringLiteral("No Such Face   "));
    r.FontHeight = 20;
    const TProjectRecord before = r;
    TFrm_Font *d = open();
    d->Comb_Font->setCurrentIndex(0);
    d->Comb_FontColor->setCurrentIndex(2);
    d->Radiobtn_AutoHeight->setChecked(true);
    d->Comb_Align->setCurrentIndex(2);
    d->Btn_Cancel->click();
    QCOMPARE(d->result(), int(QDialog::Rejected));
    QVERIFY(std::memcmp(&before, &r, sizeof r) == 0);
    QVERIFY(m_project.ProjectSaved);
}

void TestFontDialog::colourSwatches()
{
    m_project.ProjectRecord.ColorMode = 2;
    TFrm_Font *d = open();
    QAbstractItemDelegate *delegate = d->Comb_FontColor->itemDelegate();
    const QRgb expected[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(255, 255, 0)};
    for (int row = 0; row < 3; ++row) {
        QImage image(120, 16, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.palette.setColor(QPalette::Base, Qt::white);
        option.palette.setColor(QPalette::Text, Qt::black);
        {
            QPainter painter(&image);
            delegate->paint(&painter, option, d->Comb_FontColor->model()->index(row, 0));
        }
        QCOMPARE(image.pixel(0, 8), qRgb(255, 255, 255));   // the item's background
        QCOMPARE(image.pixel(2, 8), qRgb(0, 0, 0));         // the outline, left
        QCOMPARE(image.pixel(37, 8), qRgb(0, 0, 0));        // and right
        QCOMPARE(image.pixel(20, 2), qRgb(0, 0, 0));        // top
        QCOMPARE(image.pixel(20, 13), qRgb(0, 0, 0));       // bottom
        QCOMPARE(image.pixel(20, 14), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(38, 8), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(20, 8), expected[row]);        // the swatch
        QCOMPARE(image.pixel(39, 8), qRgb(255, 255, 255));  // the gap before the caption
        bool captionDrawn = false;
        for (int x = 42; x < image.width() && !captionDrawn; ++x)
            for (int y = 0; y < image.height() && !captionDrawn; ++y)
                captionDrawn = image.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(captionDrawn);
    }
}

void TestFontDialog::colourListColours()
{
    TFrm_Font *d = open();
    const auto colours = [d](QPalette::ColorRole background, QPalette::ColorRole text) {
        const QPalette p = d->Comb_FontColor->palette();
        return qMakePair(p.color(background), p.color(text));
    };
    const auto closed = qMakePair(QColor(Qt::black), QColor(0, 255, 255));
    const auto dropped = qMakePair(QColor(Qt::white), QColor(Qt::black));
    QCOMPARE(colours(QPalette::Button, QPalette::ButtonText), closed);

    d->show();
    d->Comb_FontColor->showPopup();
    QCOMPARE(colours(QPalette::Base, QPalette::Text), dropped);
    QCOMPARE(d->Comb_FontColor->view()->palette().color(QPalette::Base), QColor(Qt::white));
    d->Comb_FontColor->hidePopup();

    d->Comb_FontColorExit();
    QCOMPARE(colours(QPalette::Base, QPalette::Text), closed);
    d->Comb_FontColorDropDown();
    QCOMPARE(colours(QPalette::Button, QPalette::ButtonText), dropped);
}

void TestFontDialog::colourBoxAndListAsShown()
{
    m_project.ProjectRecord.ColorMode = 2;
    m_project.ProjectRecord.FontColor = 0x8000;
    TFrm_Font *d = open();
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d));
    // Closed: black box with the chosen colour's swatch and aqua caption.
    const QImage closed = d->Comb_FontColor->grab().toImage();
    QCOMPARE(closed.pixel(20, closed.height() / 2), qRgb(0, 255, 0));
    bool aqua = false;
    for (int x = 45; x < closed.width() / 2; ++x)
        for (int y = 0; y < closed.height(); ++y)
            aqua = aqua || (qRed(closed.pixel(x, y)) < 80 && qGreen(closed.pixel(x, y)) > 150
                            && qBlue(closed.pixel(x, y)) > 150);
    QVERIFY(aqua);
    QCOMPARE(closed.pixel(closed.width() / 2, closed.height() / 2), qRgb(0, 0, 0));

    // Clicked open: a white list with black captions and the swatches.
    QTest::mouseClick(d->Comb_FontColor, Qt::LeftButton);
    QAbstractItemView *view = d->Comb_FontColor->view();
    QTRY_VERIFY(view->isVisible());
    const QImage list = view->viewport()->grab().toImage();
    const QRect red = view->visualRect(view->model()->index(0, 0));
    QCOMPARE(list.pixel(red.right() - 2, red.center().y()), qRgb(255, 255, 255));
    QCOMPARE(list.pixel(20, red.center().y()), qRgb(255, 0, 0));
    bool black = false;
    for (int x = 45; x < 70; ++x)
        for (int y = red.top(); y <= red.bottom(); ++y)
            black = black || qGray(list.pixel(x, y)) < 80;
    QVERIFY(black);
    d->Comb_FontColor->hidePopup();
}

void TestFontDialog::clientArea()
{
    TFrm_Font *d = open();
    d->show();
    QCOMPARE(d->size(), QSize(274, 179));
    // Every control lies inside it.
    for (QWidget *child : d->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            QVERIFY2(d->rect().contains(child->geometry()), qPrintable(child->objectName()));
}

void TestFontDialog::openedFromMenuAndToolBar()
{
    TestWindow window;
    TFrm_Main &main = *window.main;
    main.Record().TextAlign = 0;
    int opened = 0;
    for (QAction *action : {main.N_Font, main.TolBtn_Font}) {
        QVERIFY(action->isEnabled());
        WhenModal([&](QWidget *modal) {
            auto *font = qobject_cast<TFrm_Font *>(modal);
            if (!font)
                return;
            ++opened;
            QCOMPARE(font->parentWidget(), static_cast<QWidget *>(&main));
            font->Comb_Align->setCurrentIndex(opened);
            font->Btn_OK->click();
        });
        action->trigger();
        QCOMPARE(main.Record().TextAlign, uint8_t(opened));
    }
    QCOMPARE(opened, 2);
    QVERIFY(!main.Project.ProjectSaved);
}

QTEST_MAIN(TestFontDialog)
#include "tst_fontdialog.moc"
