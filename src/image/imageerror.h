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

// A zero byte inside a text, where a conforming file holds none: the file
// is damaged (a NUL in a plain file, a garbled block of ciphertext).
class StrayZeroError : public ImageError
{
public:
    explicit StrayZeroError(qsizetype line)
        : ImageError(QStringLiteral("line %1 holds a zero byte").arg(line))
        , m_line(line)
    {
    }
    qsizetype line() const { return m_line; }

private:
    qsizetype m_line;
};
