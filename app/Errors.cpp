#include "app/Errors.h"

#include <cerrno>

namespace {

struct TErrnoText {
    int code;
    const char *text;
};

// Qt and the C library name these causes in English (Qt leaves even its own
// "Permission denied" untranslated), so the operator's text comes from here.
const TErrnoText ErrnoTexts[] = {
    {EPERM, "不允许的操作"},
    {ENOENT, "文件或文件夹不存在"},
    {EIO, "输入/输出错误"},
    {ENXIO, "设备不存在或未连接"},
    {EACCES, "没有访问权限"},
    {EBUSY, "设备或文件正被占用"},
    {EEXIST, "文件已存在"},
    {ENODEV, "设备不存在"},
    {ENOTDIR, "路径中有一部分不是文件夹"},
    {EISDIR, "是文件夹，不是文件"},
    {EMFILE, "打开的文件太多"},
    {EFBIG, "文件太大"},
    {ENOSPC, "磁盘空间不足"},
    {EROFS, "只读的文件系统，不能写入"},
    {ENAMETOOLONG, "文件名太长"},
    {EAGAIN, "资源暂时不可用，请稍后再试"},
#ifdef EDQUOT
    {EDQUOT, "超出磁盘配额"},
#endif
};

// Texts of Qt's own file layer, which has no errno behind them.
const char *const QtFileTexts[][2] = {
    {"file to open is a directory", "是文件夹，不是文件"},
    {"Filename refers to a directory", "是文件夹，不是文件"},
    {"Partial write. Partition full?", "只写入了一部分，磁盘可能已满"},
    {"Unknown error", "未知错误"},
};

} // namespace

QString ChineseSystemError(const QString &systemText)
{
    const QString text = systemText.trimmed();
    for (const TErrnoText &entry : ErrnoTexts) {
        if (text.compare(qt_error_string(entry.code), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(entry.text);
    }
    for (const auto &entry : QtFileTexts) {
        if (text.compare(QLatin1String(entry[0]), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(entry[1]);
    }
    return text;
}

VelmoraError FileFailure(FileStep step, const QString &path, const QString &systemText)
{
    static const char *const steps[] = {"无法打开文件", "无法读取文件", "无法写入文件"};
    return VelmoraError(QStringLiteral("%1“%2”：%3")
                            .arg(QString::fromUtf8(steps[int(step)]), path,
                                 ChineseSystemError(systemText)));
}
