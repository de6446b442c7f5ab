#include "app/Gbk.h"
#include "app/Prompter.h"
#include "app/Translations.h"
#include "app/uMain.h"
#include "remote/OpenFiles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    // Each phone that follows the captions holds a connection, and so a file.
    RaiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // The desktop entry's name: the desktop shows its icon for the window.
    QApplication::setDesktopFileName(QStringLiteral("example.velmora.Velmora"));
    InstallChineseQtTexts(app);
    if (!GbkAvailable()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(ApplicationTitle),
                              QStringLiteral("此Qt不能转换GBK文字，程序无法运行。"));
        return 1;
    }
    QCommandLineParser options;
    options.addHelpOption();
    options.addPositionalArgument(QStringLiteral("FILE.prj"), QStringLiteral("打开的工程文件"));
    options.process(app);

    DialogPrompter prompter;
    TFrm_Main window(&prompter);
    if (!options.positionalArguments().isEmpty())
        window.SetStartupFile(options.positionalArguments().constFirst());
    window.show();
    return app.exec();
}
