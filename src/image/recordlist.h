#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <limits>
#include <vector>

// The record list of a firmware image: the file's text lines in file order,
// without their terminators, kept as bytes (never decoded, so 8-bit comment
// lines survive every round trip).
//
// All lines live in one shared buffer and the list only keeps where each line
// starts and how long it is: a multi-megabyte file loads without one
// allocation per line, and copying a list is cheap (the buffer is implicitly
// shared until one copy writes).
class RecordList {
public:
    RecordList() = default;

    // Splits text into lines exactly as a text file is read: a line ends at
    // CR LF, a lone CR or a lone LF, a final terminator does not open another
    // line, and the first NUL byte ends the text. A UTF-8 byte-order mark at
    // the very start is not part of the first line.
    static RecordList fromText(QByteArray text);
    // The same, for a caller that has counted the lines (countLines()).
    static RecordList fromText(QByteArray text, qsizetype lines);

    // A conforming text holds no zero byte, but for the zero fill at the end
    // of a deciphered one: the 1-based line of the first zero byte that some
    // other byte follows, or 0 when there is none.
    static qsizetype lineOfStrayZero(QByteArrayView text);

    // The lines fromText() makes of the text (up to its first zero byte);
    // counting stops once more than limit were found.
    static qsizetype countLines(QByteArrayView text,
                                qsizetype limit = std::numeric_limits<qsizetype>::max() - 1);
    // The most lines a firmware text of this size can hold: its lines are
    // records of a dozen characters or more. A text of mostly empty lines is
    // none, and its line table alone would cost several times the text.
    static qsizetype maximumLines(qsizetype textSize);

    qsizetype size() const { return qsizetype(m_lines.size()); }
    bool isEmpty() const { return m_lines.empty(); }

    QByteArrayView at(qsizetype index) const;
    QByteArrayView operator[](qsizetype index) const { return at(index); }

    // Replaces the line at index. A line of the same length is rewritten in
    // place, which is how option bytes are patched.
    void replace(qsizetype index, QByteArrayView line);
    void append(QByteArrayView line);
    void clear();

    // The list as a text file holds it: every line followed by CR LF.
    QByteArray toText() const;

    friend bool operator==(const RecordList &a, const RecordList &b);

private:
    // Eight bytes a line: a file of empty lines costs its size several
    // times over in this table, never tens of times.
    struct Span {
        quint32 offset;
        quint32 length;
    };

    qsizetype appendToBuffer(QByteArrayView line);

    QByteArray m_buffer;
    std::vector<Span> m_lines;
};
