#pragma once

#include <QString>

#include <stdexcept>

// The base of every error this program raises on purpose: a failure with a
// message for the handler that started the action to report. Handlers catch
// it (or one of its kinds) by name, so a programming error or an exhausted
// memory is never reported as a failed file or link.
class CorvantError : public std::runtime_error {
public:
    explicit CorvantError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    const QString &message() const { return m_message; }

private:
    QString m_message;
};
