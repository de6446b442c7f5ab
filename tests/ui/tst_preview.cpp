// The main window's previews and page rendering: geometry, the turned
// portrait picture, untouched previews of disabled displays, refused values.
#include "ScriptedPrompter.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/uMain.h"
#include "render/uRender.h"

#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
QRect Ink(const QImage &picture)
{
    QRect box;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != qRgb(0, 0, 0))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool AllBlack(const QImage &picture) { return Ink(picture).isEmpty(); }
} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void geometry();
    void portraitTurnedClockwise();
    void doubleSidedPreviewedAsOneFace();
    void disabledDisplayKeepsItsPreview();
    void oneCharacterFollowsAlignment();
    void refusedValuesLeaveEverything();
    void renderPageBuildsEnabledFrames();
    void selectionDrawsThePage();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    std::unique_ptr<TFrm_Main> m_window;
};

void TestPreview::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
    AppPaths::setRegistryFile(m_dir->filePath(QStringLiteral("Velmora.ini")));
    AppPaths::setSysSetupFile(m_dir->filePath(QStringLiteral("SysSetup")));
    AppPaths::setProgramDir(m_dir->path());
    m_window = std::make_unique<TFrm_Main>(&m_prompter);
    m_window->show();   // start-up defaults: 256 x 32, portrait and landscape
}

void TestPreview::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TestPreview::geometry()
{
    TFrm_Main &w = *m_window;
    QCOMPARE(w.Img_Land->geometry(), QRect(156, 30, 256, 32));
    QCOMPARE(w.Img_Portrait->geometry(), QRect(28, 158, 32, 256));
    QCOMPARE(w.LandImage.size(), QSize(256, 32));
    QCOMPARE(w.PortraitImage.size(), QSize(32, 256));
    w.ResizePreview(512, 80);
    QCOMPARE(w.Img_Land->geometry(), QRect(28, 6, 512, 80));
    QCOMPARE(w.Img_Portrait->geometry(), QRect(4, 30, 80, 512));
    QVERIFY(AllBlack(w.LandImage));
    QVERIFY(AllBlack(w.PortraitImage));
}

void TestPreview::portraitTurnedClockwise()
{
    TFrm_Main &w = *m_window;
    const QString text = QStringLiteral("你好A");
    w.PreviewPage(w.Record(), text);
    const TPageFont font = TPageFont::FromRecord(w.Record());
    const QImage drawn = DrawPage(font, TDisplay::Portrait, 256, 32, text);
    QVERIFY(!AllBlack(drawn));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 256; ++x)
            QCOMPARE(w.PortraitImage.pixel(31 - y, x), drawn.pixel(x, y));
    QCOMPARE(w.LandImage, DrawPage(font, TDisplay::Landscape, 256, 32, text));
    // What the labels show is what the images hold.
    QCOMPARE(w.Img_Portrait->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             w.PortraitImage);
    QCOMPARE(w.Img_Land->pixmap().toImage().convertToFormat(QImage::Format_RGB32), w.LandImage);
}

void TestPreview::doubleSidedPreviewedAsOneFace()
{
    TFrm_Main &w = *m_window;
    w.Record().LandscapeOn = 0;
    w.Record().LandscapeDouble = 1;
    w.PreviewPage(w.Record(), QStringLiteral("字幕"));
    QCOMPARE(w.LandImage.size(), QSize(256, 32));
    QCOMPARE(w.LandImage, DrawPage(TPageFont::FromRecord(w.Record()), TDisplay::Landscape, 256,
                                   32, QStringLiteral("字幕")));
}

void TestPreview::disabledDisplayKeepsItsPreview()
{
    TFrm_Main &w = *m_window;
    w.PreviewPage(w.Record(), QStringLiteral("第一幕"));
    const QImage land = w.LandImage;
    QVERIFY(!AllBlack(land));
    w.Record().LandscapeOn = 0;
    w.PreviewPage(w.Record(), QStringLiteral("第二幕"));
    QCOMPARE(w.LandImage, land);
    const QImage portrait = w.PortraitImage;
    w.Record().PortraitOn = 0;
    w.Record().LandscapeOn = 1;
    w.PreviewPage(w.Record(), QStringLiteral("第三幕"));
    QCOMPARE(w.PortraitImage, portrait);
    QVERIFY(w.LandImage != land);
}

void TestPreview::oneCharacterFollowsAlignment()
{
    TFrm_Main &w = *m_window;
    // At 32 pixels with 16 pixels of spacing after it, the line is 48 long.
    int previousTop = -1;
    for (uint8_t align : {0, 1, 2}) {
        w.Record().TextAlign = align;
        w.PreviewPage(w.Record(), QStringLiteral("中"));
        const QRect ink = Ink(w.PortraitImage);
        QVERIFY(!ink.isEmpty());
        if (align == 0)
            QVERIFY(ink.top() < 8);
        if (align == 1)
            QVERIFY(qAbs(ink.center().y() - ((256 - 48) / 2 + 16)) <= 4);
        if (align == 2)
            QVERIFY(ink.bottom() > 256 - 16 - 6);
        QVERIFY(ink.top() > previousTop);
        previousTop = ink.top();
    }
}

void TestPreview::refusedValuesLeaveEverything()
{
    TFrm_Main &w = *m_window;
    w.PreviewPage(w.Record(), QStringLiteral("台词"));
    const QImage land = w.LandImage, portrait = w.PortraitImage;
    w.PortraitFrame = "before";
    w.LandscapeFrame = "before";
    w.Record().ColorMode = 3;
    w.PreviewPage(w.Record(), QStringLiteral("别的"));
    QCOMPARE(w.LandImage, land);
    QCOMPARE(w.PortraitImage, portrait);
    QVERIFY(w.StatusPanel[2]->text().contains(QStringLiteral("颜色模式")));
    w.StatusPanel[2]->clear();
    QVERIFY(!w.RenderPage(250, 32, 1, true, true, false, QStringLiteral("别的"), 0, 0, 0));
    QVERIFY(w.StatusPanel[2]->text().contains(QStringLiteral("屏宽")));
    QVERIFY(!w.RenderPage(256, 4, 1, true, true, false, QStringLiteral("别的"), 0, 0, 0));
    QVERIFY(w.StatusPanel[2]->text().contains(QStringLiteral("屏高")));
    QCOMPARE(w.PortraitFrame, QByteArray("before"));
    QCOMPARE(w.LandscapeFrame, QByteArray("before"));
}

void TestPreview::renderPageBuildsEnabledFrames()
{
    TFrm_Main &w = *m_window;
    w.LandscapeFrame = "kept";
    QVERIFY(w.RenderPage(256, 32, 2, true, false, false, QStringLiteral("你好"), 1, 4, 9));
    QCOMPARE(w.PortraitFrame.size(), 2055);
    QCOMPARE(w.PortraitFrame.left(6), QByteArray::fromHex("02f303000409"));
    QCOMPARE(w.LandscapeFrame, QByteArray("kept"));
}

void TestPreview::selectionDrawsThePage()
{
    TFrm_Main &w = *m_window;
    w.Richedt_Screen->load(ToGbk(QStringLiteral("第一幕\r\n第二幕\r\n第三幕\r\n")));
    w.RebuildPageList();
    QCOMPARE(w.PageCount(), 3);
    const TPageFont font = TPageFont::FromRecord(w.Record());
    w.SelectPage(1);
    QCOMPARE(w.LandImage, DrawPage(font, TDisplay::Landscape, 256, 32, w.PageText(1)));
    // The same row again is no change of selection: nothing is redrawn.
    w.LandImage.fill(Qt::black);
    w.SelectPage(1);
    QVERIFY(AllBlack(w.LandImage));
    // Losing the selection leaves the preview too.
    w.SelectPage(2);
    const QImage third = w.LandImage;
    QCOMPARE(third, DrawPage(font, TDisplay::Landscape, 256, 32, w.PageText(2)));
    w.SelectPage(-1);
    QCOMPARE(w.LandImage, third);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
