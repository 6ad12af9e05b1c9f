#pragma once

#include "common/corvanterror.h"

#include <QCoreApplication>

// A failure of file handling or of the encrypted format.
class ImageError : public CorvantError {
public:
    using CorvantError::CorvantError;
};

// A zero byte inside a text, where a conforming file holds none: the file
// is damaged (a NUL in a plain file, a garbled block of ciphertext).
class StrayZeroError : public ImageError {
public:
    explicit StrayZeroError(qsizetype line)
        : ImageError(
            QCoreApplication::translate("LoadReport", "line %1 holds a zero byte").arg(line))
        , m_line(line)
    {
    }
    qsizetype line() const { return m_line; }

private:
    qsizetype m_line;
};
