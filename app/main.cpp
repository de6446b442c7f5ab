#include "app/Gbk.h"
#include "app/Prompter.h"
#include "app/uMain.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    if (!GbkAvailable()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(ApplicationTitle),
                              QStringLiteral("This Qt cannot convert GBK text."));
        return 1;
    }
    DialogPrompter prompter;
    TFrm_Main window(&prompter);
    window.show();
    return app.exec();
}
