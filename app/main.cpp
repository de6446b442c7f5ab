#include "app/Gbk.h"
#include "app/Prompter.h"
#include "app/Translations.h"
#include "app/uMain.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    InstallChineseQtTexts(app);
    if (!GbkAvailable()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(ApplicationTitle),
                              QStringLiteral("此Qt不能转换GBK文字，程序无法运行。"));
        return 1;
    }
    DialogPrompter prompter;
    TFrm_Main window(&prompter);
    window.show();
    return app.exec();
}
