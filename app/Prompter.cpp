#include "app/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

QString QtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        names << parts.at(i) + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return names.join(QStringLiteral(";;"));
}

int DialogPrompter::message(QWidget *owner, const QString &text, const QString &caption,
                            Icon icon, int buttons)
{
    static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                              QMessageBox::Warning, QMessageBox::Question,
                                              QMessageBox::Critical};
    QMessageBox box(icons[icon], caption, text, QMessageBox::NoButton, owner);
    struct { int ours; QMessageBox::StandardButton qt; } const map[] = {
        {Yes, QMessageBox::Yes}, {No, QMessageBox::No}, {Ok, QMessageBox::Ok},
        {Cancel, QMessageBox::Cancel}};
    for (const auto &m : map)
        if (buttons & m.ours)
            box.addButton(m.qt);
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const auto &m : map)
        if (pressed == m.qt)
            return m.ours;
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
}

void DialogPrompter::error(QWidget *owner, const QString &text)
{
    QMessageBox::critical(owner, QApplication::applicationName(), text);
}

namespace {
QString RunFileDialog(QWidget *owner, const Prompter::FileRequest &request, bool save)
{
    QFileDialog dialog(owner, request.title, request.directory);
    dialog.setNameFilters(QtNameFilters(request.filter).split(QStringLiteral(";;")));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}
} // namespace

QString DialogPrompter::openFile(QWidget *owner, const FileRequest &request)
{
    return RunFileDialog(owner, request, false);
}

QString DialogPrompter::saveFile(QWidget *owner, const FileRequest &request)
{
    return RunFileDialog(owner, request, true);
}
