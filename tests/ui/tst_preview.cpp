// The page preview of the main window and its page-frame wrapper.
#include "ScriptedPrompter.h"
#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/uMain.h"
#include "sim/ControllerSimulator.h"
#include "render/uRender.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

namespace {
// Rows of the image that hold lit pixels: first and last.
std::pair<int, int> LitRows(const QImage &image)
{
    int first = INT_MAX, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0)) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    return {first, last};
}

bool AllBlack(const QImage &image)
{
    return LitRows(image).second < 0;
}
} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void geometry();
    void portraitCharacterFollowsAlignment();
    void previewIsTheDrawnPicture();
    void previewShowsWhatThePlanesLight();
    void disabledDisplayKeepsItsImage();
    void badSizeIsReported();
    void renderPageWrapper();
    void selectionRedrawsThePreview();

private:
    QTemporaryDir *m_dir = nullptr;
    ScriptedPrompter m_prompter;
    TFrm_Main *m_main = nullptr;
};

void TestPreview::init()
{
    m_dir = new QTemporaryDir;
    AppPaths::setRegistryFile(m_dir->filePath(QStringLiteral("Velmora.ini")));
    AppPaths::setSysSetupFile(m_dir->filePath(QStringLiteral("SysSetup")));
    AppPaths::setProgramDir(m_dir->path());
    m_main = new TFrm_Main(&m_prompter);
    SetStartupDefaults(m_main->Record());
    m_main->ResizePreview(256, 32);
}

void TestPreview::cleanup()
{
    delete m_main;
    delete m_dir;
}

void TestPreview::geometry()
{
    QCOMPARE(m_main->Img_Land->geometry(), QRect(156, 30, 256, 32));
    QCOMPARE(m_main->Img_Portrait->geometry(), QRect(28, 158, 32, 256));
    QCOMPARE(m_main->LandImage.size(), QSize(256, 32));
    QCOMPARE(m_main->PortraitImage.size(), QSize(32, 256));
    QVERIFY(AllBlack(m_main->LandImage) && AllBlack(m_main->PortraitImage));
    m_main->ResizePreview(512, 80);
    QCOMPARE(m_main->Img_Land->geometry(), QRect(28, 6, 512, 80));
    QCOMPARE(m_main->Img_Portrait->geometry(), QRect(4, 30, 80, 512));
}

void TestPreview::portraitCharacterFollowsAlignment()
{
    TProjectRecord &r = m_main->Record();
    const QString text = QStringLiteral("中");
    TTextFace face(QStringLiteral("@宋体"));
    const TPageLayout fit = LayoutPage(face, face.prepare(text), PageFontOf(r), 256, 32);
    const int cell = fit.textWidth - fit.extra;   // the spacing follows the character
    // Top of the portrait image = left of the controller picture.
    for (uint8_t align : {0, 1, 2}) {
        r.TextAlign = align;
        m_main->ResizePreview(256, 32);
        m_main->PreviewPage(r, text);
        const auto rows = LitRows(m_main->PortraitImage);
        const int top = align == 0 ? 0 : align == 1 ? (256 - fit.textWidth) / 2 : 256 - fit.textWidth;
        QVERIFY(rows.first >= top && rows.first < top + 4);
        QVERIFY(rows.second < top + cell && rows.second > top + cell - 4);
    }
}

void TestPreview::previewIsTheDrawnPicture()
{
    TProjectRecord &r = m_main->Record();
    r.LandscapeOn = 0;
    r.LandscapeDouble = 1;   // previewed as one face
    const QString text = QStringLiteral("第一幕 你好");
    m_main->PreviewPage(r, text);
    const TPageFont font = PageFontOf(r);
    QCOMPARE(m_main->LandImage, DrawPage(font, 256, 32, TDisplayKind::Landscape, text));
    QCOMPARE(m_main->PortraitImage,
             TurnClockwise(DrawPage(font, 256, 32, TDisplayKind::Portrait, text)));
    QCOMPARE(m_main->Img_Land->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             m_main->LandImage);
}

void TestPreview::previewShowsWhatThePlanesLight()
{
    TProjectRecord &r = m_main->Record();
    r.PortraitOn = 1;
    r.LandscapeOn = 1;
    const QString text = QStringLiteral("第一幕 你好");
    struct Case {
        int colorMode;
        int32_t fontColor;
        QRgb shown;   // the LEDs' colour; black: nothing lights
    };
    for (const Case &c : {Case{1, 0x8000, qRgb(0, 0, 0)}, Case{2, 0x8000, qRgb(0, 255, 0)},
                          Case{2, 0xFFFF, qRgb(255, 255, 0)}, Case{1, 0xFFFF, qRgb(255, 0, 0)},
                          Case{2, 255, qRgb(255, 0, 0)}}) {
        r.ColorMode = c.colorMode;
        r.FontColor = c.fontColor;
        m_main->ResizePreview(256, 32);
        m_main->PreviewPage(r, text);
        std::set<QRgb> colours;
        for (const QImage &image : {m_main->LandImage, m_main->PortraitImage})
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(image.pixel(x, y));
        colours.insert(qRgb(0, 0, 0));
        QCOMPARE(colours, (std::set<QRgb>{qRgb(0, 0, 0), c.shown}));

        // The same pixels as the frame that goes out, decoded.
        QVERIFY(m_main->RenderPage(256, 32, c.colorMode, true, true, false, text, 0, 0, 0));
        const SimGeometry geometry{256, 32, c.colorMode};
        const auto planes = [](const QByteArray &frame) {
            return reinterpret_cast<const uint8_t *>(frame.constData()) + 6;
        };
        QCOMPARE(m_main->LandImage, UnpackPlanes(planes(m_main->LandscapeFrame), geometry));
        QCOMPARE(m_main->PortraitImage,
                 TurnClockwise(UnpackPlanes(planes(m_main->PortraitFrame), geometry)));
    }
}

void TestPreview::disabledDisplayKeepsItsImage()
{
    TProjectRecord &r = m_main->Record();
    m_main->LandImage.fill(Qt::blue);
    r.LandscapeOn = 0;
    m_main->PreviewPage(r, QStringLiteral("你好"));
    QCOMPARE(m_main->LandImage.pixel(3, 3), qRgb(0, 0, 255));
    QVERIFY(!AllBlack(m_main->PortraitImage));
}

void TestPreview::badSizeIsReported()
{
    TProjectRecord &r = m_main->Record();
    r.ScreenWidth = 250;
    m_main->PreviewPage(r, QStringLiteral("你好"));
    QVERIFY(AllBlack(m_main->LandImage) && AllBlack(m_main->PortraitImage));
    QVERIFY(m_main->StatusPanel[2]->text().contains(QStringLiteral("屏宽")));
}

void TestPreview::renderPageWrapper()
{
    QVERIFY(m_main->RenderPage(256, 32, 2, true, false, true, QStringLiteral("你好"), 1, 2, 3));
    QCOMPARE(m_main->PortraitFrame.size(), 2055);
    QCOMPARE(m_main->LandscapeFrame.size(), 4103);
    QCOMPARE(m_main->PortraitFrame.left(6), QByteArray::fromHex("02F303000203"));

    QVERIFY(!m_main->RenderPage(256, 32, 7, true, true, false, QStringLiteral("你好"), 0, 0, 0));
    QVERIFY(m_main->PortraitFrame.isEmpty() && m_main->LandscapeFrame.isEmpty());
    QVERIFY(m_main->StatusPanel[2]->text().contains(QStringLiteral("颜色模式")));
}

void TestPreview::selectionRedrawsThePreview()
{
    m_main->Richedt_Screen->load(ToGbk(QStringLiteral("第一幕\r\n第二幕\r\n第三幕\r\n")));
    m_main->RebuildPageList();
    QCOMPARE(m_main->PageCount(), 3);
    const TPageFont font = PageFontOf(m_main->Record());
    const auto drawn = [&](int row) {
        return DrawPage(font, 256, 32, TDisplayKind::Landscape, m_main->PageText(row));
    };
    m_main->SelectPage(1);
    QCOMPARE(m_main->LandImage, drawn(1));
    m_main->LandImage.fill(Qt::blue);
    m_main->SelectPage(1);   // no change of selection: no redraw
    QCOMPARE(m_main->LandImage.pixel(0, 0), qRgb(0, 0, 255));
    m_main->SelectPage(2);
    QCOMPARE(m_main->LandImage, drawn(2));
    m_main->SelectPage(-1);   // deselecting draws nothing
    QCOMPARE(m_main->LandImage, drawn(2));
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
