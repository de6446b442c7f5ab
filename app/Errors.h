// Failures of file, registry and conversion operations end the command at the
// failing step; the window shows the text in a message box.
#pragma once

#include <QString>
#include <stdexcept>

class VelmoraError : public std::runtime_error {
public:
    explicit VelmoraError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

// The reason Qt or the C library gives for a failed system call, in Chinese
// for the causes an operator meets (missing file, no access, disk full, device
// gone ...); any other text is returned as it is.
QString ChineseSystemError(const QString &systemText);

// What the operator is told when a file operation fails: the step, the file
// and the reason.
enum class FileStep { Open, Read, Write };
VelmoraError FileFailure(FileStep step, const QString &path, const QString &systemText);
