#include "app/Prompter.h"

#include "app/uMain.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

QString QtNameFilters(const QString &filter)
{
    // Names often carry their pattern already, as "txt文档(*.txt)"; Qt lists
    // the name followed by its pattern, so the name's own copy goes.
    static const QRegularExpression trailingPattern(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts.at(i);
        name.remove(trailingPattern);
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        names << name + QStringLiteral(" (") + pattern + QLatin1Char(')');
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
    // Save and Discard carry the program's own words: Qt's translation of
    // Discard is not "不保存".
    struct { int ours; QMessageBox::StandardButton qt; const char *text; } const map[] = {
        {Save, QMessageBox::Save, "保存"}, {Discard, QMessageBox::Discard, "不保存"},
        {Yes, QMessageBox::Yes, nullptr}, {No, QMessageBox::No, nullptr},
        {Ok, QMessageBox::Ok, nullptr}, {Cancel, QMessageBox::Cancel, nullptr}};
    for (const auto &m : map)
        if (buttons & m.ours) {
            QPushButton *button = box.addButton(m.qt);
            if (m.text)
                button->setText(QString::fromUtf8(m.text));
        }
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const auto &m : map)
        if (pressed == m.qt)
            return m.ours;
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
}

void DialogPrompter::error(QWidget *owner, const QString &text)
{
    QMessageBox::critical(owner, QString::fromUtf8(ApplicationTitle), text);
}

namespace {
// The file list's size, type and date columns: Qt's Chinese texts have no
// file types ("Folder", "txt File"), and sizes ("6 bytes") and dates follow
// the system's language.
class ChineseFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case SizeColumn:
            return files->isDir(source) ? QString()
                                        : QLocale().formattedDataSize(files->size(source));
        case TypeColumn:
            return TypeText(files->fileInfo(source));
        case DateColumn:
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }

private:
    enum { SizeColumn = 1, TypeColumn = 2, DateColumn = 3 };   // QFileSystemModel's columns

    static QString TypeText(const QFileInfo &info)
    {
        if (info.isRoot())
            return QStringLiteral("驱动器");
        if (info.isDir())
            return QStringLiteral("文件夹");
        return info.suffix().isEmpty() ? QStringLiteral("文件")
                                       : info.suffix() + QStringLiteral(" 文件");
    }
};

QString RunFileDialog(QWidget *owner, const Prompter::FileRequest &request, bool save)
{
    QFileDialog dialog(owner, request.title, request.directory);
    // The desktop's own dialog would speak the desktop's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ChineseFileColumns(&dialog));
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
