#include "help/KeyTable.h"

#include <QAction>
#include <QObject>

const char *const PageListNext = "next";
const char *const PageListPrevious = "previous";

const QList<KeyBinding> &MainWindowKeys()
{
    using K = KeyBinding;
    static const QList<KeyBinding> keys{
        {K::PageList, PageListNext, QKeySequence(Qt::Key_Space), QStringLiteral("发送下一幕（选中行的下一幕）")},
        {K::PageList, PageListNext, QKeySequence(Qt::Key_Return), QStringLiteral("发送下一幕")},
        {K::PageList, PageListNext, QKeySequence(Qt::Key_Enter), QStringLiteral("发送下一幕（小键盘）")},
        {K::PageList, PageListNext, QKeySequence(Qt::Key_PageDown), QStringLiteral("发送下一幕（翻页笔）")},
        {K::PageList, PageListPrevious, QKeySequence(Qt::Key_PageUp), QStringLiteral("发送上一幕并选中它（翻页笔）")},
        {K::Window, "N_ClearScreen", QKeySequence(Qt::Key_F4), QStringLiteral("黑屏：清除显示屏内容")},
        {K::Window, "N_Resend", QKeySequence(Qt::Key_F5), QStringLiteral("重发显示屏上的画面")},
        {K::Window, "N_Cancel", QKeySequence(Qt::Key_Escape), QStringLiteral("取消正在进行的发送；关闭转到框和查找框")},
        {K::Window, "N_GoTo", QKeySequence(Qt::CTRL | Qt::Key_G), QStringLiteral("转到第几幕（只选中，不发送）")},
        {K::Window, "N_Find", QKeySequence(Qt::CTRL | Qt::Key_F), QStringLiteral("查找幕中的文字")},
        {K::Window, "N_FindNext", QKeySequence(Qt::Key_F3), QStringLiteral("查找下一个")},
        {K::Window, "N_Play", QKeySequence(Qt::Key_F6), QStringLiteral("按时间播放：开始或停止（字幕文件的剧本）")},
        {K::Window, "N_PlayPause", QKeySequence(Qt::Key_F7), QStringLiteral("按时间播放：暂停或继续")},
        {K::Window, "N_NudgeBack", QKeySequence(Qt::CTRL | Qt::Key_Left), QStringLiteral("播放时钟退后0.5秒（下一条字幕晚一点出）")},
        {K::Window, "N_NudgeOn", QKeySequence(Qt::CTRL | Qt::Key_Right), QStringLiteral("播放时钟提前0.5秒（下一条字幕早一点出）")},
        {K::Window, "N_ShowLock", QKeySequence(Qt::CTRL | Qt::Key_L), QStringLiteral("演出锁定：开或关")},
        {K::Window, "N_New", QKeySequence(Qt::CTRL | Qt::Key_N), QStringLiteral("新建工程")},
        {K::Window, "N2", QKeySequence(Qt::CTRL | Qt::Key_O), QStringLiteral("打开工程")},
        {K::Window, "N_Save", QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("保存工程")},
        {K::Window, "N_SaveAs", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QStringLiteral("另存工程为")},
        {K::Window, "N_Manual", QKeySequence(Qt::Key_F1), QStringLiteral("使用说明（在对话框里按：该对话框的说明）")},
        {K::System, "about", QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Asterisk)),
         QStringLiteral("关于（全局热键，小键盘的 *）")},
    };
    return keys;
}

void InstallWindowKeys(QObject *window)
{
    for (QAction *action : window->findChildren<QAction *>()) {
        QList<QKeySequence> keys;
        for (const KeyBinding &binding : MainWindowKeys())
            if (binding.scope == KeyBinding::Window
                && action->objectName() == QLatin1String(binding.command))
                keys << binding.key;
        if (!keys.isEmpty())
            action->setShortcuts(keys);
    }
}

const char *PageListCommand(int key)
{
    for (const KeyBinding &binding : MainWindowKeys())
        if (binding.scope == KeyBinding::PageList && binding.key == QKeySequence(key))
            return binding.command;
    return nullptr;
}

QString KeyName(const QKeySequence &key)
{
    // The keys an operator knows by another name than Qt's.
    static const QList<QPair<QKeySequence, QString>> named{
        {QKeySequence(Qt::Key_Space), QStringLiteral("空格")},
        {QKeySequence(Qt::Key_Return), QStringLiteral("回车")},
        {QKeySequence(Qt::Key_Enter), QStringLiteral("小键盘回车")},
        {QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Asterisk)), QStringLiteral("Alt+小键盘*")},
    };
    for (const auto &[sequence, name] : named)
        if (key == sequence)
            return name;
    return key.toString(QKeySequence::PortableText);
}

QString KeyTableHtml()
{
    static const QString where[] = {QStringLiteral("主窗口任何地方"), QStringLiteral("幕列表"),
                                    QStringLiteral("全局（任何程序在前台时）")};
    QString html = QStringLiteral("<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">"
                                  "<tr><th>按键</th><th>作用</th><th>在哪里有效</th></tr>");
    for (const KeyBinding &binding : MainWindowKeys())
        html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                    .arg(KeyName(binding.key).toHtmlEscaped(), binding.text.toHtmlEscaped(),
                         where[binding.scope]);
    return html + QStringLiteral("</table>");
}
