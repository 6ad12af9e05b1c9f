#pragma once

#include <QString>

#include <stdexcept>

// A failure of file handling or of the encrypted format, for the handler
// that started the action to report.
class ImageError : public std::runtime_error
{
public:
    explicit ImageError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    const QString &message() const { return m_message; }

private:
    QString m_message;
};
