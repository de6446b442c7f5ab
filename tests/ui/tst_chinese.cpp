// Qt's own texts in Chinese, loaded as the program loads them: the standard
// buttons of message boxes, the file dialogs and their filters.
#include "app/Prompter.h"
#include "app/Translations.h"

#include <QDialogButtonBox>
#include <QAbstractProxyModel>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
// Runs look on the modal dialog that opens next, then closes it with close.
void WhenModal(const std::function<void(QWidget *)> &look)
{
    QTimer::singleShot(0, [look] { look(QApplication::activeModalWidget()); });
}

QString Plain(QString caption)
{
    return caption.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
}
} // namespace

class TestChinese : public QObject {
    Q_OBJECT
private slots:
    // Runs first: without the files the program goes on in English.
    void missingTranslationsKeepEnglish()
    {
        QTemporaryDir empty;
        QVERIFY(!InstallChineseQtTexts(*qApp, empty.path()));
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes);
        QCOMPARE(Plain(box.button(QMessageBox::Yes)->text()), QStringLiteral("Yes"));
    }

    void messageBoxButtons()
    {
        QVERIFY(InstallChineseQtTexts(*qApp));
        QStringList captions;
        WhenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return;
            for (QAbstractButton *b : box->buttons())
                captions << Plain(b->text());
            box->button(QMessageBox::No)->click();
        });
        DialogPrompter prompter;
        const int answer = prompter.message(nullptr, QStringLiteral("是否将改动保存到文件？"),
                                            QStringLiteral("提示"), Prompter::Warning,
                                            Prompter::Yes | Prompter::No | Prompter::Cancel);
        QCOMPARE(answer, int(Prompter::No));
        captions.sort();
        QStringList expected{QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")};
        expected.sort();
        QCOMPARE(captions, expected);

        // The error box: the program's title and a Chinese OK.
        QString title, ok;
        WhenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return;
            title = box->windowTitle();
            ok = Plain(box->button(QMessageBox::Ok)->text());
            box->button(QMessageBox::Ok)->click();
        });
        prompter.error(nullptr, QStringLiteral("无法打开文件“a.prj”：文件或文件夹不存在"));
        QCOMPARE(title, QStringLiteral("Velmora舞台字幕编辑系统"));
        QCOMPARE(ok, QStringLiteral("确定"));
    }

    void fileDialogs_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("accept");
        QTest::newRow("open") << false << QStringLiteral("打开") << QStringLiteral("打开");
        QTest::newRow("save") << true << QStringLiteral("另存为") << QStringLiteral("保存");
    }

    void fileDialogs()
    {
        QFETCH(bool, save);
        QFETCH(QString, title);
        QFETCH(QString, accept);
        QVERIFY(InstallChineseQtTexts(*qApp));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("剧本")));
        QFile text(dir.filePath(QStringLiteral("a.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("hello\n");
        text.close();
        QString shownTitle, acceptCaption, folderType, folderDate, fileType, fileSize;
        bool listed = false;
        QStringList filters;
        WhenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (!dialog)
                return;
            // The list as the operator reads it, once the folder is read.
            QAbstractProxyModel *list = dialog->proxyModel();
            auto *files = list ? qobject_cast<QFileSystemModel *>(list->sourceModel()) : nullptr;
            if (files) {
                const QString folder = dir.filePath(QStringLiteral("剧本"));
                listed = QTest::qWaitFor([&] { return files->index(folder).isValid(); });
                const QModelIndex row = list->mapFromSource(files->index(folder));
                folderType = row.siblingAtColumn(2).data().toString();
                folderDate = row.siblingAtColumn(3).data().toString();
                const QString file = dir.filePath(QStringLiteral("a.txt"));
                listed = listed && QTest::qWaitFor([&] { return files->index(file).isValid(); });
                const QModelIndex fileRow = list->mapFromSource(files->index(file));
                fileType = fileRow.siblingAtColumn(2).data().toString();
                fileSize = fileRow.siblingAtColumn(1).data().toString();
            }
            shownTitle = dialog->windowTitle();
            filters = dialog->nameFilters();
            if (auto *buttons = dialog->findChild<QDialogButtonBox *>())
                for (QAbstractButton *b : buttons->buttons())
                    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
                        acceptCaption = Plain(b->text());
            dialog->reject();
        });
        DialogPrompter prompter;
        Prompter::FileRequest request;
        request.filter = QStringLiteral("txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf");
        request.directory = dir.path();
        const QString chosen = save ? prompter.saveFile(nullptr, request)
                                    : prompter.openFile(nullptr, request);
        QVERIFY(chosen.isEmpty());
        QCOMPARE(shownTitle, title);
        QCOMPARE(acceptCaption, accept);
        QCOMPARE(filters, (QStringList{QStringLiteral("txt文档 (*.txt)"), QStringLiteral("Rtf文档 (*.rtf)")}));
        QCOMPARE(folderType, QStringLiteral("文件夹"));
        QVERIFY(listed);
        QCOMPARE(fileType, QStringLiteral("txt 文件"));
        QCOMPARE(fileSize, QStringLiteral("6 字节"));
        QVERIFY2(!folderDate.isEmpty(), "no date shown");
        QVERIFY2(!folderDate.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(folderDate));
    }

    void filterNamesOnce_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("name with its pattern")
            << QStringLiteral("工程文件(*.prj)|*.prj") << QStringLiteral("工程文件 (*.prj)");
        QTest::newRow("name alone") << QStringLiteral("工程文件|*.prj") << QStringLiteral("工程文件 (*.prj)");
        QTest::newRow("blank before the pattern")
            << QStringLiteral("图片文件 (*.bmp)|*.bmp") << QStringLiteral("图片文件 (*.bmp)");
        QTest::newRow("several patterns")
            << QStringLiteral("图片(*.bmp;*.dib)|*.bmp;*.dib") << QStringLiteral("图片 (*.bmp *.dib)");
        QTest::newRow("three entries")
            << QStringLiteral("txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf|剧本文档(*.jb)|*.jb")
            << QStringLiteral("txt文档 (*.txt);;Rtf文档 (*.rtf);;剧本文档 (*.jb)");
        QTest::newRow("name's pattern differs: the filter's own wins")
            << QStringLiteral("全部(*.*)|*.txt") << QStringLiteral("全部 (*.txt)");
    }

    void filterNamesOnce()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QCOMPARE(QtNameFilters(filter), shown);
    }
};

QTEST_MAIN(TestChinese)
#include "tst_chinese.moc"
