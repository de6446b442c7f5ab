// The dialog "远程与观众": every change applies at once and is written to
// Velmora.ini; refused entries change nothing; the QR code is scannable.
#include "TestFiles.h"

#include "app/AppPaths.h"
#include "remote/QrCode.h"
#include "remote/uLanguages.h"
#include "remote/uRemote.h"
#include "ScriptedPrompter.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Stands in for the window: records what it was asked to apply, and runs
// a server that listens on the port unless another program holds it.
struct FakeApply {
    QList<TRemoteSettings> applied;
    TRemoteSettings current;
    int taken = 0;        // the port another program holds
    QString oscCounts;
    TFrm_Remote::ApplyFn fn()
    {
        return [this](const TRemoteSettings &s) {
            applied << s;
            current = s;
        };
    }
    TFrm_Remote::LiveFn live()
    {
        return [this] {
            RemoteLive state;
            state.status = QStringLiteral("已应用 %1").arg(applied.size());
            state.port = current.Enabled && current.Port != taken ? quint16(current.Port) : 0;
            state.oscCounts = oscCounts;
            return state;
        };
    }
};

TRemoteSettings Serving()
{
    TRemoteSettings settings;
    settings.Enabled = true;
    settings.Token = QStringLiteral("abcdefghijklmnop");
    return settings;
}

QStringList ListedTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// The 7x7 finder pattern with its top-left module at (x, y).
bool FinderAt(const QrMatrix &m, int x, int y)
{
    for (int dy = 0; dy < 7; ++dy) {
        for (int dx = 0; dx < 7; ++dx) {
            const int ring = std::max(std::abs(dx - 3), std::abs(dy - 3));
            if (m.at(x + dx, y + dy) != (ring != 2))
                return false;
        }
    }
    return true;
}

bool Dark(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y) == Qt::black;
}
} // namespace

class TestRemoteDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void init() { AppPaths::setRegistryFile(m_dir.filePath(QStringLiteral("Velmora.ini"))); }
    void cleanup() { QFile::remove(m_dir.filePath(QStringLiteral("Velmora.ini"))); }

    void enableMakesTokenAndWrites()
    {
        FakeApply fake;
        TFrm_Remote dialog(TRemoteSettings{}, fake.fn(), fake.live());
        QCOMPARE(dialog.objectName(), QStringLiteral("Frm_Remote"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("远程与观众"));
        QVERIFY(!dialog.Chk_Enabled->isChecked());
        QCOMPARE(dialog.Edt_Port->value(), 8080);
        QCOMPARE(dialog.Edt_OscPort->value(), 9000);
        QVERIFY(fake.applied.isEmpty());

        dialog.Chk_Enabled->setChecked(true);
        QCOMPARE(fake.applied.size(), 1);
        const TRemoteSettings applied = fake.applied[0];
        QVERIFY(applied.Enabled);
        QVERIFY(applied.Token.size() >= MinRemoteTokenLength);
        QCOMPARE(dialog.Edt_Token->text(), applied.Token);
        QCOMPARE(dialog.Lbl_Status->text(), QStringLiteral("已应用 1"));
        QCOMPARE(ReadRemoteSettings(), applied);

        // Switching off keeps the token for the next show.
        dialog.Chk_Enabled->setChecked(false);
        QCOMPARE(fake.applied.size(), 2);
        QCOMPARE(ReadRemoteSettings().Token, applied.Token);
        QVERIFY(!ReadRemoteSettings().Enabled);

        dialog.Btn_NewToken->click();
        QCOMPARE(fake.applied.size(), 3);
        QVERIFY(fake.applied[2].Token != applied.Token);
        QCOMPARE(ReadRemoteSettings().Token, fake.applied[2].Token);
    }

    void typedTokens()
    {
        TRemoteSettings start;
        start.Token = QStringLiteral("abcdefghijklmnop");
        WriteRemoteSettings(start);
        FakeApply fake;
        TFrm_Remote dialog(start, fake.fn(), fake.live());

        for (const QString &bad : {QStringLiteral("short"), QStringLiteral("with a space inside it"),
                                   QStringLiteral("令牌令牌令牌令牌令牌令牌令牌令牌")}) {
            dialog.Edt_Token->setText(bad);
            emit dialog.Edt_Token->editingFinished();
            QVERIFY2(!dialog.Lbl_Message->text().isEmpty(), qPrintable(bad));
            QCOMPARE(dialog.Edt_Token->text(), start.Token);
        }
        QVERIFY(dialog.Lbl_Message->text().contains(QStringLiteral("空格")));
        dialog.Edt_Token->setText(QStringLiteral("short"));
        emit dialog.Edt_Token->editingFinished();
        QVERIFY(dialog.Lbl_Message->text().contains(QString::number(MinRemoteTokenLength)));
        QVERIFY(fake.applied.isEmpty());
        QCOMPARE(ReadRemoteSettings().Token, start.Token);

        dialog.Edt_Token->setText(QStringLiteral("  Stage-Manager-2026!  "));
        emit dialog.Edt_Token->editingFinished();
        QCOMPARE(fake.applied.size(), 1);
        QCOMPARE(fake.applied[0].Token, QStringLiteral("Stage-Manager-2026!"));
        QVERIFY(dialog.Lbl_Message->text().isEmpty());
        QCOMPARE(ReadRemoteSettings().Token, QStringLiteral("Stage-Manager-2026!"));
    }

    void portsAndAddresses()
    {
        FakeApply fake;
        fake.current = Serving();
        TFrm_Remote dialog(fake.current, fake.fn(), fake.live());
        QVERIFY(ListedTexts(dialog.Lst_Addresses).join('\n').contains(QStringLiteral("http://127.0.0.1:8080/remote")));
        // Loopback comes after the addresses other devices can open.
        QVERIFY(dialog.Lst_Addresses->count() == 1
                || !dialog.Lst_Addresses->item(0)->text().contains(QStringLiteral("127.0.0.1")));

        // Leaving a field without a change applies nothing.
        emit dialog.Edt_Port->editingFinished();
        QVERIFY(fake.applied.isEmpty());

        dialog.Edt_Port->setValue(8181);
        emit dialog.Edt_Port->editingFinished();
        QCOMPARE(fake.applied.size(), 1);
        QCOMPARE(fake.applied[0].Port, 8181);
        QCOMPARE(ReadRemoteSettings().Port, 8181);
        const QString listed = ListedTexts(dialog.Lst_Addresses).join('\n');
        QVERIFY2(listed.contains(QStringLiteral("观众：http://127.0.0.1:8181/\n")), qPrintable(listed));
        QVERIFY(listed.contains(QStringLiteral("操作：http://127.0.0.1:8181/remote")));
        QVERIFY(!listed.contains(QStringLiteral(":8080/")));

        // A port another program holds: no address and no code until it is free.
        fake.taken = 8282;
        dialog.Edt_Port->setValue(8282);
        emit dialog.Edt_Port->editingFinished();
        QCOMPARE(dialog.Lst_Addresses->count(), 0);
        QVERIFY(dialog.Img_Qr->pixmap().isNull());
        QCOMPARE(dialog.Img_Qr->text(), QStringLiteral("网页服务未开启"));
        fake.taken = 0;
        QTRY_VERIFY(ListedTexts(dialog.Lst_Addresses).join('\n').contains(QStringLiteral("http://127.0.0.1:8282/remote")));
        QVERIFY(!dialog.Img_Qr->pixmap().isNull());
        QTest::mouseClick(dialog.Chk_Enabled, Qt::LeftButton);
        QVERIFY(!fake.current.Enabled);
        QCOMPARE(dialog.Lst_Addresses->count(), 0);

        dialog.Chk_OscEnabled->setChecked(true);
        dialog.Edt_OscPort->setValue(53000);
        emit dialog.Edt_OscPort->editingFinished();
        QCOMPARE(fake.applied.size(), 5);
        QVERIFY(fake.applied[4].OscEnabled);
        QCOMPARE(fake.applied[4].OscPort, 53000);
        QCOMPARE(ReadRemoteSettings(), fake.applied[4]);
    }

    // OSC open to every sender is warned of; the counts follow as they change.
    void oscWarningAndCounts()
    {
        FakeApply fake;
        TFrm_Remote dialog(TRemoteSettings{}, fake.fn(), fake.live());
        QVERIFY(!dialog.Lbl_OscOpen->isVisibleTo(&dialog));
        QVERIFY(!dialog.Lbl_OscCounts->isVisibleTo(&dialog));
        QTest::mouseClick(dialog.Chk_OscEnabled, Qt::LeftButton);
        QVERIFY(dialog.Lbl_OscOpen->isVisibleTo(&dialog));
        QVERIFY(dialog.Lbl_OscOpen->text().contains(QStringLiteral("任何设备")));
        dialog.Edt_OscAllowFrom->setText(QStringLiteral("192.168.1.20"));
        emit dialog.Edt_OscAllowFrom->editingFinished();
        QVERIFY(!dialog.Lbl_OscOpen->isVisibleTo(&dialog));

        fake.oscCounts = QStringLiteral("OSC：已执行 3 条命令，拒绝的发送方 2 个数据包，无效数据包 1 个");
        QTRY_COMPARE(dialog.Lbl_OscCounts->text(), fake.oscCounts);
        QVERIFY(dialog.Lbl_OscCounts->isVisibleTo(&dialog));
    }

    void oscSenders()
    {
        FakeApply fake;
        TFrm_Remote dialog(TRemoteSettings{}, fake.fn(), fake.live());
        dialog.Edt_OscAllowFrom->setText(QStringLiteral("192.168.1.20, lighting-desk"));
        emit dialog.Edt_OscAllowFrom->editingFinished();
        QVERIFY(fake.applied.isEmpty());
        QVERIFY(dialog.Lbl_Message->text().contains(QStringLiteral("lighting-desk")));
        QVERIFY(dialog.Edt_OscAllowFrom->text().isEmpty());

        dialog.Edt_OscAllowFrom->setText(QStringLiteral("192.168.1.20, 10.0.0.0/8 "));
        emit dialog.Edt_OscAllowFrom->editingFinished();
        QCOMPARE(fake.applied.size(), 1);
        QCOMPARE(ReadRemoteSettings().OscAllowFrom, QStringLiteral("192.168.1.20, 10.0.0.0/8"));
    }

    // The settings file cannot be written: the change still applies, the
    // dialog keeps it and says that it was not saved.
    void writeFailureIsShown()
    {
        const QString blocker = m_dir.filePath(QStringLiteral("a-file"));
        WriteRaw(blocker, "x");
        AppPaths::setRegistryFile(blocker + QStringLiteral("/Velmora.ini"));
        FakeApply fake;
        TFrm_Remote dialog(TRemoteSettings{}, fake.fn(), fake.live());
        dialog.Chk_OscEnabled->setChecked(true);
        QCOMPARE(fake.applied.size(), 1);
        QVERIFY(dialog.Settings().OscEnabled);
        QVERIFY2(dialog.Lbl_Message->text().contains(QStringLiteral("未能保存")),
                 qPrintable(dialog.Lbl_Message->text()));
    }

    void qrMatrixAndImage()
    {
        const QrMatrix m = MakeQrMatrix("http://192.168.1.20:8080/");
        QVERIFY(m.size >= 21);
        QCOMPARE((m.size - 17) % 4, 0);   // a QR version's side
        QVERIFY(FinderAt(m, 0, 0));
        QVERIFY(FinderAt(m, m.size - 7, 0));
        QVERIFY(FinderAt(m, 0, m.size - 7));
        QVERIFY(!FinderAt(m, m.size - 7, m.size - 7));

        const int module = QrModuleSize(m, 220);
        QCOMPARE(module, 220 / (m.size + 2 * QrQuietZone));
        const QImage image = QrImage(m, module);
        const int side = (m.size + 2 * QrQuietZone) * module;
        QCOMPARE(image.size(), QSize(side, side));
        // Every pixel is black or white and belongs to one module: the
        // module grid read back from the picture is the matrix, inside a
        // white quiet zone.
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int mx = x / module - QrQuietZone;
                const int my = y / module - QrQuietZone;
                const bool inside = mx >= 0 && my >= 0 && mx < m.size && my < m.size;
                const bool expected = inside && m.at(mx, my);
                QVERIFY(image.pixelColor(x, y) == (expected ? QColor(Qt::black) : QColor(Qt::white)));
            }
        }
        QVERIFY(Dark(image, QrQuietZone * module, QrQuietZone * module));
        QCOMPARE(MakeQrMatrix("http://192.168.1.21:8080/").dark == m.dark, false);
    }

    void dialogShowsQrOfSelectedAddress()
    {
        FakeApply fake;
        fake.current = Serving();
        TFrm_Remote dialog(fake.current, fake.fn(), fake.live());
        QVERIFY(dialog.Lst_Addresses->count() >= 1);
        const auto shown = [&] { return dialog.Img_Qr->pixmap().toImage(); };
        const auto expected = [](const QString &text) {
            const QrMatrix m = MakeQrMatrix(text.toUtf8());
            return QrImage(m, QrModuleSize(m, 220));
        };
        const QString first = dialog.Lst_Addresses->item(0)->data(Qt::UserRole).toString();
        QCOMPARE(shown().convertToFormat(QImage::Format_RGB32),
                 expected(first).convertToFormat(QImage::Format_RGB32));
        const int last = dialog.Lst_Addresses->count() - 1;
        dialog.Lst_Addresses->setCurrentRow(last);
        const QString chosen = dialog.Lst_Addresses->item(last)->data(Qt::UserRole).toString();
        QVERIFY(chosen.endsWith(QStringLiteral(":8080/")));
        QCOMPARE(shown().convertToFormat(QImage::Format_RGB32),
                 expected(chosen).convertToFormat(QImage::Format_RGB32));
    }

    // Translations are added with a tag, a name and a chosen file, kept
    // relative to the project's folder, listed with their lines or why they
    // cannot be read, and removed by row; each change is written at once.
    void translationsAddedAndRemoved()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("show.prj"));
        WriteRaw(dir.filePath(QStringLiteral("en.txt")), "Hello\r\nWorld\r\n");
        ScriptedPrompter prompter;
        TLanguagesPanel panel(project, prompter);
        QSignalSpy changed(&panel, &TLanguagesPanel::changed);
        panel.show();
        QVERIFY(!panel.Btn_Add->isEnabled());
        QVERIFY(!panel.Btn_Remove->isEnabled());

        QTest::keyClicks(panel.Edt_Tag, QStringLiteral("en"));
        QTest::keyClicks(panel.Edt_Name, QStringLiteral("English"));
        prompter.openPaths << dir.filePath(QStringLiteral("en.txt"));
        QTest::mouseClick(panel.Btn_Add, Qt::LeftButton);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(ListedTexts(panel.Lst_Languages), QStringList{QStringLiteral("English（en）：en.txt — 2 行")});
        QSettings ini(ShowLanguages::listFile(project), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Languages/en")).toString(), QStringLiteral("en.txt"));
        QCOMPARE(ini.value(QStringLiteral("Languages/Name.en")).toString(), QStringLiteral("English"));

        // A file that goes missing is listed with why; a bad tag asks no file.
        panel.Edt_Tag->clear();
        panel.Edt_Name->clear();
        QTest::keyClicks(panel.Edt_Tag, QStringLiteral("fr"));
        prompter.openPaths << dir.filePath(QStringLiteral("fr.txt"));
        QTest::mouseClick(panel.Btn_Add, Qt::LeftButton);
        QCOMPARE(panel.Lst_Languages->count(), 2);
        QVERIFY(panel.Lst_Languages->item(1)->text().startsWith(QStringLiteral("fr（fr）：fr.txt — ")));
        QVERIFY(panel.Lbl_Message->text().contains(QStringLiteral("fr.txt")));
        panel.Edt_Tag->clear();
        QTest::keyClicks(panel.Edt_Tag, QStringLiteral("e n"));
        QTest::mouseClick(panel.Btn_Add, Qt::LeftButton);
        QCOMPARE(prompter.openRequests.size(), 2);
        QVERIFY(panel.Lbl_Message->text().contains(QStringLiteral("无效")));

        const QRect row = panel.Lst_Languages->visualItemRect(panel.Lst_Languages->item(0));
        QTest::mouseClick(panel.Lst_Languages->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(panel.Btn_Remove->isEnabled());
        QTest::mouseClick(panel.Btn_Remove, Qt::LeftButton);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(panel.Lst_Languages->count(), 1);
        QVERIFY(panel.Lst_Languages->item(0)->text().startsWith(QStringLiteral("fr（fr）")));
        const ShowLanguages back = ShowLanguages::read(project);
        QVERIFY(!back.find(QStringLiteral("en")));
        QVERIFY(back.find(QStringLiteral("fr")));
    }

    // Without a saved project there is nowhere to keep the list.
    void translationsNeedAProject()
    {
        ScriptedPrompter prompter;
        TLanguagesPanel panel(QString(), prompter);
        QTest::keyClicks(panel.Edt_Tag, QStringLiteral("en"));
        QVERIFY(!panel.Btn_Add->isEnabled());
        QVERIFY(panel.Lbl_Message->text().contains(QStringLiteral("保存工程")));
    }
};

QTEST_MAIN(TestRemoteDialog)
#include "tst_remotedialog.moc"
