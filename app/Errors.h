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

// The operator called a command off at one of its questions: the command
// ends there, and nothing is shown.
class CommandCancelled {};
